% What brickmod costs from Prolog. Run by bench/run as
%
%     swipl -p library=PACK/prolog -p foreign=PACK/lib/ARCH -p foreign=NOPDIR \
%           prolog_bench.pl PEER N
%
% NOPDIR holds benchnop.so, the do-nothing foreign library; PEER is the device of a virtual
% brick, N the calls per loop over it. Prints "name seconds-per-call" lines:
%   prolog.peer.getBatteryLevel, prolog.peer.getRotationCount   over the peer, the median of
%       calls timed one by one (a call that waited for another process's work does not drag
%       the figure along, as it would a mean);
%   paired.prolog.OP, paired.cpp.OP   the binding's call and the same operation called from C++
%       (module benchnop, its own Block on the same peer), in turns call by call, medians;
%   prolog.nop, prolog.local.getRotationCount, prolog.local.getBatteryLevel
%       the do-nothing predicate, and two predicates whose operation does no I/O (a motor not
%       attached, a brick not connected): their difference is the binding's own cost.
% Each loop is a clause of its own, so that no meta-call sits between the loop and the goal.

:- use_module(library(brickmod)).
:- use_foreign_library(foreign(benchnop)).
:- use_module(timing).
:- initialization(main, main).

main :-
    current_prolog_flag(argv, [Peer, NText]),
    atom_number(NText, N),
    'Block'(Brick),
    connectBluetooth(Brick, Peer),
    'Motor'(Motor),
    setMotor(Brick, Motor, 0),
    'Motor'(Detached),
    'Block'(Closed),
    benchnop:cpp_connect(Peer),
    Local = 1000000,
    battery_times(N, Brick, BatteryTimes),
    report_median('prolog.peer.getBatteryLevel', BatteryTimes),
    rotation_times(N, Motor, RotationTimes),
    report_median('prolog.peer.getRotationCount', RotationTimes),
    paired_battery(N, Brick, true, PB, CB),
    report_median('paired.prolog.getBatteryLevel', PB),
    report_median('paired.cpp.getBatteryLevel', CB),
    paired_rotation(N, Motor, true, PR, CR),
    report_median('paired.prolog.getRotationCount', PR),
    report_median('paired.cpp.getRotationCount', CR),
    measure('prolog.nop', nop_loop(Local), Local),
    measure('prolog.local.getRotationCount', rotation_loop(Local, Detached), Local),
    measure('prolog.local.getBatteryLevel', battery_loop(Local, Closed), Local),
    measure('prolog.loop', empty_loop(Local), Local),
    disconnect(Brick).

battery_times(0, _, []) :- !.
battery_times(N, Brick, [T|Ts]) :-
    get_time(T0),
    getBatteryLevel(_, Brick),
    get_time(T1),
    T is T1 - T0,
    N1 is N - 1,
    battery_times(N1, Brick, Ts).

rotation_times(0, _, []) :- !.
rotation_times(N, Motor, [T|Ts]) :-
    get_time(T0),
    getRotationCount(_, Motor),
    get_time(T1),
    T is T1 - T0,
    N1 is N - 1,
    rotation_times(N1, Motor, Ts).

% The binding's call and the plain C++ call in turns, each timed; which goes first alternates.
paired_battery(0, _, _, [], []) :- !.
paired_battery(N, Brick, PrologFirst, [P|Ps], [C|Cs]) :-
    (   PrologFirst == true
    ->  get_time(T0), getBatteryLevel(_, Brick), get_time(T1), benchnop:cpp_battery,
        get_time(T2), P is T1 - T0, C is T2 - T1
    ;   get_time(T0), benchnop:cpp_battery, get_time(T1), getBatteryLevel(_, Brick),
        get_time(T2), C is T1 - T0, P is T2 - T1
    ),
    flip(PrologFirst, Next),
    N1 is N - 1,
    paired_battery(N1, Brick, Next, Ps, Cs).

paired_rotation(0, _, _, [], []) :- !.
paired_rotation(N, Motor, PrologFirst, [P|Ps], [C|Cs]) :-
    (   PrologFirst == true
    ->  get_time(T0), getRotationCount(_, Motor), get_time(T1), benchnop:cpp_rotation,
        get_time(T2), P is T1 - T0, C is T2 - T1
    ;   get_time(T0), benchnop:cpp_rotation, get_time(T1), getRotationCount(_, Motor),
        get_time(T2), C is T1 - T0, P is T2 - T1
    ),
    flip(PrologFirst, Next),
    N1 is N - 1,
    paired_rotation(N1, Motor, Next, Ps, Cs).

battery_loop(0, _) :- !.
battery_loop(N, Brick) :-
    getBatteryLevel(_, Brick),
    N1 is N - 1,
    battery_loop(N1, Brick).

rotation_loop(0, _) :- !.
rotation_loop(N, Motor) :-
    getRotationCount(_, Motor),
    N1 is N - 1,
    rotation_loop(N1, Motor).

nop_loop(0) :- !.
nop_loop(N) :-
    benchnop:nop(_, x),
    N1 is N - 1,
    nop_loop(N1).

empty_loop(0) :- !.
empty_loop(N) :-
    N1 is N - 1,
    empty_loop(N1).
