% What library(brick) costs over brickmod. Run by bench/run as
%
%     swipl -p library=PACK/prolog -p foreign=PACK/lib/ARCH brick_bench.pl PEER N
%
% PEER is the device of a virtual brick, N the calls per operation. The two modules each open
% a link of their own to the same brick and call the same operation in turns, call by call
% (which goes first alternates), each call timed; prints the medians as "name seconds-per-call":
%   paired.brickmod.battery, paired.brick.battery          getBatteryLevel/2 and battery/2
%   paired.brickmod.position, paired.brick.position        getRotationCount/2, motor_position/2
%   local.brickmod.kind, local.brick.kind    getSensorType/2 and sensor_kind/2, which send
%       nothing: the per-call cost of each binding's own work (argument checks, the lock),
%       without the noise of a round trip; mean of a million calls.
% Each loop is a clause of its own, so that no meta-call sits between the loop and the goal.

:- use_module(library(brickmod)).
:- use_module(library(brick)).
:- use_module(library(lists)).
:- use_module(timing).
:- initialization(main, main).

main :-
    current_prolog_flag(argv, [Peer, NText]),
    atom_number(NText, N),
    'Block'(Old),
    connectBluetooth(Old, Peer),
    'Motor'(OldMotor),
    setMotor(Old, OldMotor, 0),
    brick_open(Peer, Brick),
    brick_motor(Brick, a, Motor),
    battery_pairs(N, Old, Brick, true, OB, NB),
    report_median('paired.brickmod.battery', OB),
    report_median('paired.brick.battery', NB),
    position_pairs(N, OldMotor, Motor, true, OP, NP),
    report_median('paired.brickmod.position', OP),
    report_median('paired.brick.position', NP),
    'Sensor'(OldSensor),
    setSensorType(OldSensor, 802),
    setSensor(Old, OldSensor, 0),
    brick_sensor(Brick, 1, touch, Sensor),
    Local = 1000000,
    measure('local.brickmod.kind', old_kind_loop(Local, OldSensor), Local),
    measure('local.brick.kind', new_kind_loop(Local, Sensor), Local),
    brick_close(Brick),
    disconnect(Old).

old_kind_loop(0, _) :- !.
old_kind_loop(N, Sensor) :- getSensorType(_, Sensor), N1 is N - 1, old_kind_loop(N1, Sensor).

new_kind_loop(0, _) :- !.
new_kind_loop(N, Sensor) :- sensor_kind(Sensor, _), N1 is N - 1, new_kind_loop(N1, Sensor).

battery_pairs(0, _, _, _, [], []) :- !.
battery_pairs(N, Old, Brick, OldFirst, [O|Os], [B|Bs]) :-
    (   OldFirst == true
    ->  get_time(T0), getBatteryLevel(_, Old), get_time(T1), battery(Brick, _),
        get_time(T2), O is T1 - T0, B is T2 - T1
    ;   get_time(T0), battery(Brick, _), get_time(T1), getBatteryLevel(_, Old),
        get_time(T2), B is T1 - T0, O is T2 - T1
    ),
    flip(OldFirst, Next),
    N1 is N - 1,
    battery_pairs(N1, Old, Brick, Next, Os, Bs).

position_pairs(0, _, _, _, [], []) :- !.
position_pairs(N, Old, Motor, OldFirst, [O|Os], [B|Bs]) :-
    (   OldFirst == true
    ->  get_time(T0), getRotationCount(_, Old), get_time(T1), motor_position(Motor, _),
        get_time(T2), O is T1 - T0, B is T2 - T1
    ;   get_time(T0), motor_position(Motor, _), get_time(T1), getRotationCount(_, Old),
        get_time(T2), B is T1 - T0, O is T2 - T1
    ),
    flip(OldFirst, Next),
    N1 is N - 1,
    position_pairs(N1, Old, Motor, Next, Os, Bs).

