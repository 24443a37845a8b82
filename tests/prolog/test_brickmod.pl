% Module brickmod against the virtual brick on a pseudo-terminal.
%
% The file starts bricksim with --trace and reads back the telegrams the brick received, so each
% test states the bytes on the wire. Telegrams are written as hex, type byte first; the comment
% after each says what it means.
%
% Run: swipl -p library=PACK/prolog -p foreign=PACK/lib/ARCH -g main test_brickmod.pl -- BRICKSIM

:- use_module(library(plunit)).
:- use_module(library(process)).
:- use_module(library(readutil)).
:- use_module(library(lists)).
:- use_module(library(apply)).
:- use_module(library(aggregate)).
:- use_module(library(brickmod)).
:- use_module(brick_sim).


% One virtual brick serves all units; without it no test could say anything, so main fails
% rather than let plunit skip the units.
main :-
    current_prolog_flag(argv, [Sim|_]),
    nb_setval(bricksim, Sim),
    (   start_brick
    ->  true
    ;   format(user_error, "no virtual brick from ~w~n", [Sim]),
        halt(1)
    ),
    (   run_tests
    ->  Status = 0
    ;   Status = 1
    ),
    stop_brick,
    halt(Status).

% The catalogue, in the order the library registers it.
catalogue([ 'Block'/1, 'Motor'/1, 'Sensor'/1,
            connect/1, connectBluetooth/1, connectBluetooth/2, disconnect/1, playTone/3,
            stopTone/1, getBatteryLevel/2, getName/2, setName/2, setSensor/3, remSensor/2,
            getSensor/3, setMotor/3, remMotor/2, getMotor/3,
            getRotationCount/2, resetRotationCount/1, moveForward/2, moveForwardDegrees/3,
            moveBackward/2, moveBackwardDegrees/3, stop/1, setBrake/2,
            setSensorType/2, getValue/2, disableSonar/1, enableSonar/1, enableLight/1,
            disableLight/1, changeColor/2, getSensorType/2
          ]).

		 /*******************************
		 *        VIRTUAL BRICK          *
		 *******************************/

% The one virtual brick of this file, a term of brick_sim.
:- dynamic brick_process/1.
:- dynamic commands_seen/1.

start_brick :-
    nb_getval(bricksim, Exe),
    sim_start(Exe, Sim),
    assertz(brick_process(Sim)),
    retractall(commands_seen(_)),
    assertz(commands_seen(0)).

stop_brick :-
    forall(retract(brick_process(Sim)), sim_stop(Sim)).

link(Link) :-
    brick_process(Sim),
    sim_link(Sim, Link).

all_commands(Hex) :-
    brick_process(Sim),
    sim_commands(Sim, Hex).

% wire(+Expected): the brick received exactly the telegrams Expected since the last check.
% Every command waits for its reply, which the trace writes after the telegram, so a wait is
% needed only when a telegram is missing.
wire(Expected) :-
    length(Expected, N),
    commands_seen(Seen),
    Want is Seen + N,
    (   wait_until((all_commands(All), length(All, Len), Len >= Want))
    ->  true
    ;   true
    ),
    all_commands(All),
    length(Skip, Seen),
    append(Skip, New, All),
    retractall(commands_seen(_)),
    length(All, Total),
    assertz(commands_seen(Total)),
    assertion(New == Expected).

% Forgets what the brick received so far.
wire_reset :-
    all_commands(All),
    length(All, Total),
    retractall(commands_seen(_)),
    assertz(commands_seen(Total)).

		 /*******************************
		 *            HELPERS            *
		 *******************************/

% step(:Goal): Goal succeeds once and leaves no choice point.
step(Goal) :-
    call_cleanup(Goal, Det = true),
    assertion(Det == true).

% raises(:Goal, +Type, +Culprit): Goal raises error(type_error(Type, Culprit), Fresh), with
% Fresh unbound. catch/3 hands over a copy of the ball, so an unbound Culprit comes back as a
% variable of its own, distinct from Fresh; a term with variables comes back as a variant.
raises(Goal, Type, Culprit) :-
    catch(Goal, E, true),
    (   nonvar(E),
        E = error(type_error(T, C), Context),
        T == Type,
        var(Context),
        (   var(Culprit)
        ->  var(C),
            C \== Context
        ;   ground(Culprit)
        ->  C == Culprit
        ;   C =@= Culprit
        )
    ->  true
    ;   format(user_error, "~q raised ~q, wanted type_error(~q, ~q)~n",
               [Goal, E, Type, Culprit]),
        fail
    ).

% A brick linked to the virtual brick, with a motor at output 1 and a touch sensor at input 0.
rig(B, M, S) :-
    link(Link),
    brick_rig(Link, B, M, S),
    wire_reset.

		 /*******************************
		 *         REGISTRATION          *
		 *******************************/

:- begin_tests(registration).

test(registered_in_catalogue_order_in_module_brickmod) :-
    current_foreign_library(foreign(brickpreds), Heads),
    maplist([brickmod:H, N/A]>>functor(H, N, A), Heads, Registered),
    catalogue(Catalogue),
    assertion(Registered == Catalogue).

test(module_file_exports_all_34) :-
    module_property(brickmod, exports(Exports)),
    catalogue(Catalogue),
    length(Catalogue, 34),
    msort(Exports, E),
    msort(Catalogue, C),
    assertion(E == C).

test(foreign_deterministic_and_plain, [forall(catalogue_member(N/A))]) :-
    functor(H, N, A),
    assertion(predicate_property(brickmod:H, foreign)),
    assertion(\+ predicate_property(brickmod:H, nondeterministic)),
    assertion(\+ predicate_property(brickmod:H, transparent)),
    assertion(predicate_property(brickmod:H, implementation_module(brickmod))).

test(no_install_function_exported) :-
    absolute_file_name(foreign(brickpreds), Lib,
                       [file_type(executable), access(read)]),
    process_create(path(nm), ['-D', '--defined-only', Lib],
                   [stdout(pipe(Out)), process(Pid)]),
    read_string(Out, _, Symbols),
    close(Out),
    process_wait(Pid, Status),
    assertion(Status == exit(0)),
    assertion(\+ sub_string(Symbols, _, _, _, install)).

% load_foreign_library/1 from module user, in a fresh swipl: the predicates land in brickmod.
test(load_foreign_library_from_user_registers_in_brickmod) :-
    absolute_file_name(foreign(brickpreds), Lib,
                       [file_type(executable), access(read)]),
    file_directory_name(Lib, Dir),
    current_prolog_flag(executable, Swipl),
    Goal = "load_foreign_library(foreign(brickpreds)), brickmod:'Block'(B), integer(B), \c
            \\+ current_predicate(user:'Block'/1), \c
            catch(brickmod:connect(12345), error(type_error(pointer, 12345), _), true)",
    atom_concat('foreign=', Dir, Path),
    process_create(Swipl, ['-q', '-p', Path, '-g', Goal, '-t', halt],
                   [process(Pid), stdout(null)]),
    process_wait(Pid, Status),
    assertion(Status == exit(0)).

:- end_tests(registration).

catalogue_member(P) :-
    catalogue(C),
    member(P, C).

		 /*******************************
		 *          CREATING             *
		 *******************************/

:- begin_tests(creating).

test(new_objects_get_distinct_integer_handles) :-
    step('Block'(B1)), step('Block'(B2)),
    step('Motor'(M1)), step('Motor'(M2)),
    step('Sensor'(S1)), step('Sensor'(S2)),
    Handles = [B1, B2, M1, M2, S1, S2],
    assertion(maplist(integer, Handles)),
    sort(Handles, Distinct),
    assertion(length(Distinct, 6)).

test(bound_argument_fails_without_exception) :-
    assertion(\+ 'Block'(x)),
    assertion(\+ 'Motor'(0)),
    assertion(\+ 'Sensor'(f(_))).

test(new_objects_start_detached) :-
    'Sensor'(S),
    step(getSensorType(K, S)),
    assertion(K == -1),
    'Motor'(M),
    step(getRotationCount(C, M)),
    assertion(C == -1).

% Prolog threads may each drive their own brick: handles made on one thread at the same time as
% on others must all be recognised.
test(handles_made_on_several_threads) :-
    findall(T, (between(1, 4, _), thread_create(make_motors(300), T, [])), Threads),
    maplist(thread_join, Threads, Statuses),
    assertion(Statuses == [true, true, true, true]).

:- end_tests(creating).

make_motors(N) :-
    forall(between(1, N, _),
           (   'Motor'(M),
               getRotationCount(-1, M)
           )).

		 /*******************************
		 *         ARGUMENT KINDS        *
		 *******************************/

% signature(Name, Kinds): every predicate of the catalogue with the kind of each argument:
% brick, motor or sensor (an object of that class), integer, flag, text or result.
signature('Block', [result]).
signature('Motor', [result]).
signature('Sensor', [result]).
signature(connect, [brick]).
signature(connectBluetooth, [brick]).
signature(connectBluetooth, [brick, text]).
signature(disconnect, [brick]).
signature(playTone, [brick, integer, integer]).
signature(stopTone, [brick]).
signature(getBatteryLevel, [result, brick]).
signature(getName, [result, brick]).
signature(setName, [text, brick]).
signature(setSensor, [brick, sensor, integer]).
signature(remSensor, [brick, integer]).
signature(getSensor, [result, brick, integer]).
signature(setMotor, [brick, motor, integer]).
signature(remMotor, [brick, integer]).
signature(getMotor, [result, brick, integer]).
signature(getRotationCount, [result, motor]).
signature(resetRotationCount, [motor]).
signature(moveForward, [motor, integer]).
signature(moveForwardDegrees, [motor, integer, integer]).
signature(moveBackward, [motor, integer]).
signature(moveBackwardDegrees, [motor, integer, integer]).
signature(stop, [motor]).
signature(setBrake, [motor, flag]).
signature(setSensorType, [sensor, integer]).
signature(getValue, [result, sensor]).
signature(disableSonar, [sensor]).
signature(enableSonar, [sensor]).
signature(enableLight, [sensor]).
signature(disableLight, [sensor]).
signature(changeColor, [sensor, integer]).
signature(getSensorType, [result, sensor]).

% sample(Label, Term): a term of every sort that a caller may pass by mistake. The three
% labelled wide_ hold a character above 255, which no 8-bit text can carry.
sample(unbound, _).
sample(atom, foo).
sample(empty_list, []).
sample(float, 1.5).
sample(string, "text").
sample(beyond_32_bits, 4294967296).
sample(negative_beyond_32_bits, -4294967297).
sample(beyond_64_bits, 36893488147419103232).
sample(negative_beyond_64_bits, -36893488147419103232).
sample(compound, f(x, _)).
sample(list, [1, 2]).
sample(wide_atom, '\x100\b').
sample(wide_string, "\x100\").
sample(wide_codes, [256]).
sample(random_integer, 12345).
sample(null, 0).
sample(minus_one, -1).
sample(int_max, 2147483647).
sample(int_min, -2147483648).
sample(int_max_plus_one, 2147483648).
sample(int_min_minus_one, -2147483649).

% sample(+Kind, +Live, -Label, -Term): the samples, and for an object kind also the live
% handles of the other classes and an address just inside the live object.
sample(_, _, Label, Term) :-
    sample(Label, Term).
sample(Kind, Live, handle_of(Other), Handle) :-
    member(Other-Handle, Live),
    Other \== Kind.
sample(Kind, Live, inside_object, Inside) :-
    memberchk(Kind-H, Live),
    Inside is H + 1.

% outcome(+Kind, +Label, +Term, -Outcome): raises(Type) or runs, as the frame defines the
% kinds. No sample is a live handle of the wanted class, so no object argument converts.
outcome(Kind, _, _, raises(pointer)) :-
    memberchk(Kind, [brick, motor, sensor]),
    !.
outcome(Kind, _, Term, Outcome) :-
    memberchk(Kind, [integer, flag]),
    !,
    (   integer(Term),
        Term >= -2147483648,
        Term =< 2147483647
    ->  Outcome = runs
    ;   Outcome = raises(integer)
    ).
outcome(text, Label, _, Outcome) :-
    !,
    (   atom(Label),
        sub_atom(Label, 0, _, _, wide_)
    ->  Outcome = raises(text)
    ;   Outcome = runs
    ).
outcome(result, _, _, runs).

% A valid argument of each kind, the objects taken from Live.
valid(Kind, Live, Handle) :-
    memberchk(Kind-Handle, Live),
    !.
valid(integer, _, 1).
valid(flag, _, 1).
valid(text, _, name).
valid(result, _, _).

% generated_call(+Live, -Call, -Position, -Label, -Term, -Outcome): every predicate with Term
% in argument Position and valid arguments in all the others.
generated_call(Live, Call, Position, Label, Term, Outcome) :-
    signature(Name, Kinds),
    nth1(Position, Kinds, Kind),
    sample(Kind, Live, Label, Term),
    outcome(Kind, Label, Term, Outcome),
    findall(Arg, (member(K, Kinds), valid(K, Live, Arg)), Args0),
    nth1(Position, Args0, _, Rest),
    nth1(Position, Args, Term, Rest),
    Call =.. [Name|Args].

% runs(:Goal): Goal succeeds or fails, raises nothing and leaves no choice point.
runs(Goal) :-
    (   catch(call_cleanup(Goal, Det = true), E, true)
    ->  (   var(E),
            Det == true
        ->  true
        ;   format(user_error, "~q raised ~q or left a choice point~n", [Goal, E]),
            fail
        )
    ;   true
    ).

% A brick that was never connected, with a motor and a sensor attached: what a call sends ends
% at once, as the link is not open.
detached_rig(B, M, S) :-
    'Block'(B),
    'Motor'(M),
    setMotor(B, M, 1),
    'Sensor'(S),
    setSensorType(S, 802),
    setSensor(B, S, 0).

:- begin_tests(argument_kinds).

test(signatures_cover_the_catalogue_in_order) :-
    findall(N/A, (signature(N, Kinds), length(Kinds, A)), Signed),
    catalogue(Catalogue),
    assertion(Signed == Catalogue).

% Every wrong term in every argument of every predicate raises exactly its type error, with the
% term itself as the culprit, and nothing reaches the brick although the rig is connected.
test(every_wrong_term_raises_its_type_error_and_sends_nothing) :-
    rig(B, M, S),
    Live = [brick-B, motor-M, sensor-S],
    findall(Position, generated_call(Live, _, Position, _, _, raises(_)), Cases),
    length(Cases, Count),
    assertion(Count > 1000),
    forall(generated_call(Live, Call, _, _, Term, raises(Type)),
           assertion(raises(brickmod:Call, Type, Term))),
    wire([]).

% Where the kind takes the term (a text almost anything, a result anything, an integer one in
% range), the predicate runs: it succeeds or fails, and raises nothing.
test(every_term_a_kind_takes_runs) :-
    detached_rig(B, M, S),
    Live = [brick-B, motor-M, sensor-S],
    aggregate_all(count, generated_call(Live, _, _, _, _, runs), Count),
    assertion(Count > 100),
    forall(generated_call(Live, Call, _, _, _, runs),
           assertion(runs(brickmod:Call))).

test(issue_examples_raise_and_swipl_goes_on) :-
    assertion(raises(brickmod:connect(12345), pointer, 12345)),
    assertion(raises(brickmod:getValue(_, 0), pointer, 0)),
    'Block'(B),
    assertion(raises(brickmod:getValue(_, B), pointer, B)).

test(motor_where_sensor_wanted) :-
    rig(B, M, _),
    assertion(raises(setSensor(B, M, 3), pointer, M)),
    assertion(raises(getValue(_, M), pointer, M)),
    assertion(raises(setMotor(B, B, 2), pointer, B)),
    step(getSensor(X, B, 3)),
    assertion(X == 0),
    wire([]).

:- end_tests(argument_kinds).

		 /*******************************
		 *          CONVERSIONS          *
		 *******************************/

:- begin_tests(conversions).

test(integer_range_ends_are_accepted) :-
    rig(_, M, _),
    step(moveForward(M, 2147483647)),
    step(moveForward(M, -2147483648)),
    wire([ "00 04 01 FF 05 01 00 20 00 00 00 00",   % power sent as its low byte: -1
           "00 04 01 00 05 01 00 20 00 00 00 00"    % and 0
         ]).

% The first argument that does not convert decides the error.
test(conversion_order) :-
    rig(B, M, S),
    assertion(raises(playTone(B, x, y), integer, y)),
    assertion(raises(playTone(foo, x, y), pointer, foo)),
    assertion(raises(moveForwardDegrees(M, x, y), integer, y)),
    assertion(raises(moveBackwardDegrees(M, x, y), integer, y)),
    assertion(raises(moveForwardDegrees(foo, x, y), pointer, foo)),
    assertion(raises(setName([256], foo), pointer, foo)),
    assertion(raises(setName([256], B), text, [256])),
    assertion(raises(setSensor(foo, bar, x), pointer, foo)),
    assertion(raises(setSensor(B, bar, x), pointer, bar)),
    assertion(raises(setSensor(B, S, x), integer, x)),
    assertion(raises(setMotor(B, bar, x), pointer, bar)),
    assertion(raises(getSensor(_, foo, x), pointer, foo)),
    assertion(raises(getMotor(_, B, x), integer, x)),
    assertion(raises(connectBluetooth(foo, [256]), pointer, foo)),
    assertion(raises(connectBluetooth(B, [256]), text, [256])),
    wire([]).

% Any term gives a text: its characters, or what write/1 prints.
test(names_as_text) :-
    rig(B, _, _),
    step(setName(42, B)),
    step(setName(foo(bar), B)),
    step(setName("str", B)),
    step(setName(`abc`, B)),
    step(setName([x, y], B)),
    step(setName('Ça', B)),
    wire([ "01 98 34 32 00 00 00 00 00 00 00 00 00 00 00 00 00 00",        % "42"
           "01 98 66 6F 6F 28 62 61 72 29 00 00 00 00 00 00 00 00",        % "foo(bar)"
           "01 98 73 74 72 00 00 00 00 00 00 00 00 00 00 00 00 00",        % "str"
           "01 98 61 62 63 00 00 00 00 00 00 00 00 00 00 00 00 00",        % "abc"
           "01 98 78 79 00 00 00 00 00 00 00 00 00 00 00 00 00 00",        % "xy"
           "01 98 C7 61 00 00 00 00 00 00 00 00 00 00 00 00 00 00"         % "Ça", Latin-1
         ]).

% The operations take NUL-terminated texts: a text with a NUL inside would reach them cut short,
% a device path naming another device or a name other than the one given. It is refused.
test(text_with_a_nul_is_refused) :-
    rig(B, _, _),
    link(Link),
    atom_concat(Link, '\0\junk', Device),
    atom_codes(Device, DeviceCodes),
    'Block'(B2),
    forall(member(D, [Device, DeviceCodes]),
           assertion(raises(connectBluetooth(B2, D), text, D))),
    step(playTone(B2, 440, 500)),                 % not connected: nothing goes out
    forall(member(N, ['ab\0\cd', "ab\0\cd", [0'a, 0, 0'b], '\0\']),
           assertion(raises(setName(N, B), text, N))),
    wire([]).

% A term too deep for write/1 to print exhausts SWI-Prolog's C stack: the text conversion then
% fails for SWI-Prolog's own reason, which the predicate passes on as it is, not as a type error
% that would call a fine term the wrong type. Compared with what write/1 itself does, so that a
% machine with a larger stack, where both succeed, agrees too.
test(error_while_writing_a_text_is_passed_on) :-
    rig(B, _, _),
    nested(1000000, Deep),
    catch(with_output_to(string(_), write(Deep)), error(Writing, _), true),
    catch(setName(Deep, B), error(Naming, _), true),
    error_kind(Writing, WritingKind),
    error_kind(Naming, NamingKind),
    assertion(NamingKind == WritingKind),
    (   var(Writing)
    ->  wire_reset
    ;   wire([])
    ).

% getName/2 gives an atom that setName/2 takes back.
test(get_name_is_an_atom) :-
    rig(B, _, _),
    step(setName('Ça va', B)),
    step(getName(N, B)),
    assertion(N == 'Ça va'),
    step(setName(N, B)),
    step(getName(N2, B)),
    assertion(N2 == N),
    assertion(\+ getName(other, B)),
    wire([ "01 98 C7 61 20 76 61 00 00 00 00 00 00 00 00 00 00 00",        % SETBRICKNAME
           "01 9B",                                                        % GETDEVICEINFO
           "01 98 C7 61 20 76 61 00 00 00 00 00 00 00 00 00 00 00",
           "01 9B",
           "01 9B"
         ]).

test(device_as_atom_string_or_codes) :-
    link(Link),
    atom_string(Link, String),
    atom_codes(Link, Codes),
    forall(member(Device, [Link, String, Codes]),
           (   'Block'(B),
               step(connectBluetooth(B, Device)),
               step(playTone(B, 440, 500)),
               step(disconnect(B))
           )),
    wire([ "00 03 B8 01 F4 01",                    % PLAYTONE 440 Hz 500 ms
           "00 03 B8 01 F4 01",
           "00 03 B8 01 F4 01"
         ]).

% A result argument is unified after the call: the request goes out, then the predicate fails.
test(bound_result_is_compared) :-
    rig(B, M, S),
    assertion(\+ getBatteryLevel(7, B)),
    step(getBatteryLevel(9000, B)),
    assertion(\+ getSensorType(805, S)),
    assertion(\+ getSensor(S, B, 1)),
    assertion(\+ getMotor(0, B, 1)),
    step(getMotor(M, B, 1)),
    wire([ "00 0B",                                % GETBATTERYLEVEL
           "00 0B"
         ]).

test(unreachable_brick_still_succeeds) :-
    'Block'(B),
    step(connect(B)),
    step(connectBluetooth(B)),
    step(connectBluetooth(B, '/nonexistent/brick')),
    step(playTone(B, 440, 500)),
    step(disconnect(B)).

test(brake_flag_is_any_nonzero_integer) :-
    rig(_, M, _),
    step(setBrake(M, 5)),
    step(setBrake(M, 0)),
    step(setBrake(M, -1)),
    assertion(raises(setBrake(M, true), integer, true)),
    wire([ "00 04 01 00 07 01 00 20 00 00 00 00",  % brake: MOTORON|BRAKE|REGULATED
           "00 04 01 00 00 00 00 00 00 00 00 00",  % float: everything off
           "00 04 01 00 07 01 00 20 00 00 00 00"
         ]).

:- end_tests(conversions).

% error_kind(+Formal, -Kind): the formal term of an error without its culprit, which may be too
% big to print; none when there was no error.
error_kind(Formal, none) :-
    var(Formal),
    !.
error_kind(Formal, Name-First) :-
    compound(Formal),
    functor(Formal, Name, _),
    arg(1, Formal, First),
    atomic(First),
    !.
error_kind(Formal, Name) :-
    functor(Formal, Name, _).

% nested(+Depth, -Term): f(f(...f(x)...)), Depth deep.
nested(0, x) :-
    !.
nested(N, f(T)) :-
    N1 is N - 1,
    nested(N1, T).

		 /*******************************
		 *     PORTS AND SENSOR KINDS    *
		 *******************************/

:- begin_tests(catalogue).

test(empty_ports_give_the_null_handle) :-
    rig(B, _, _),
    step(getSensor(S, B, 3)),
    step(getMotor(M, B, 2)),
    assertion(S == 0),
    assertion(M == 0),
    step(remSensor(B, 2)),
    step(remMotor(B, 2)),
    wire([]).

test(sensor_without_kind_is_not_attached) :-
    rig(B, _, _),
    'Sensor'(S),
    step(setSensor(B, S, 2)),
    step(getSensor(X, B, 2)),
    assertion(X == 0),
    wire([]).

test(taken_port_keeps_its_first_motor) :-
    rig(B, M1, _),
    'Motor'(M2),
    step(setMotor(B, M2, 1)),
    step(getMotor(X, B, 1)),
    assertion(X == M1),
    step(remMotor(B, 1)),
    step(getMotor(Y, B, 1)),
    assertion(Y == 0),
    wire([]).

test(kinds_of_a_detached_sensor) :-
    'Sensor'(S),
    step(getSensorType(K0, S)),
    step(setSensorType(S, 802)),
    step(getSensorType(K1, S)),
    step(setSensorType(S, 799)),
    step(getSensorType(K2, S)),
    assertion([K0, K1, K2] == [-1, 802, 802]),
    step(setSensorType(S, 801)),
    step(enableLight(S)),
    step(getSensorType(L1, S)),
    step(disableLight(S)),
    step(getSensorType(L2, S)),
    step(setSensorType(S, 803)),
    step(enableLight(S)),
    step(getSensorType(L3, S)),
    assertion([L1, L2, L3] == [800, 801, 803]),
    step(setSensorType(S, 806)),
    step(changeColor(S, 805)),
    step(getSensorType(C1, S)),
    step(changeColor(S, 807)),
    step(getSensorType(C2, S)),
    assertion([C1, C2] == [806, 807]),
    step(getValue(V, S)),
    assertion(V == -1),
    wire([]).

test(motor_commands) :-
    rig(_, M, _),
    step(moveForwardDegrees(M, 75, 360)),
    step(moveBackwardDegrees(M, 75, 360)),
    step(moveBackward(M, 20)),
    wire([ "00 04 01 4B 05 01 00 20 68 01 00 00",  % port 1, power 75, limit 360
           "00 04 01 B5 05 01 00 20 68 01 00 00",  % power -75
           "00 04 01 EC 05 01 00 20 00 00 00 00"   % power -20, no limit
         ]).

:- end_tests(catalogue).

		 /*******************************
		 *        A WHOLE SESSION        *
		 *******************************/

:- begin_tests(session).

test(create_connect_attach_drive_read_disconnect) :-
    link(Link),
    wire_reset,
    step('Block'(B)),
    step(connectBluetooth(B, Link)),
    wire([]),
    step('Sensor'(Touch)),
    step(setSensorType(Touch, 802)),
    wire([]),
    step(setSensor(B, Touch, 0)),
    wire(["00 05 00 01 20"]),                     % SETINPUTMODE port 0 SWITCH BOOLEANMODE
    step('Sensor'(Sonar)),
    step(setSensorType(Sonar, 805)),
    step(setSensor(B, Sonar, 3)),
    wire(["00 05 03 0B 00"]),                     % SETINPUTMODE port 3 LOWSPEED_9V RAWMODE
    step('Motor'(M)),
    step(setMotor(B, M, 1)),
    wire([]),
    step(moveForward(M, 75)),
    wire(["00 04 01 4B 05 01 00 20 00 00 00 00"]),% SETOUTPUTSTATE port 1 power 75 running
    step(getValue(Pressed, Touch)),
    assertion(Pressed == 0),
    wire(["00 07 00"]),                           % GETINPUTVALUES port 0
    step(getValue(Distance, Sonar)),
    assertion(Distance == 255),                   % no echo
    wire([ "00 0F 03 02 01 02 42",                % LSWRITE port 3: read distance register
           "00 0E 03",                            % LSGETSTATUS port 3
           "00 10 03"                             % LSREAD port 3
         ]),
    step(disableSonar(Sonar)),
    step(enableSonar(Sonar)),
    wire([ "00 0F 03 03 00 02 41 00",             % LSWRITE command register: off
           "00 0F 03 03 00 02 41 02"              % continuous measurement
         ]),
    step(getRotationCount(Count, M)),
    assertion(integer(Count)),
    wire(["00 06 01"]),                           % GETOUTPUTSTATE port 1
    step(resetRotationCount(M)),
    wire(["00 0A 01 00"]),                        % RESETMOTORPOSITION port 1 absolute
    step(stop(M)),
    wire(["00 04 01 00 00 00 00 00 00 00 00 00"]),% brake off: float
    step(playTone(B, 440, 500)),
    step(stopTone(B)),
    wire([ "00 03 B8 01 F4 01",                   % PLAYTONE 440 Hz 500 ms
           "00 0C"                                % STOPSOUNDPLAYBACK
         ]),
    step(getBatteryLevel(MilliVolts, B)),
    assertion(MilliVolts == 9000),
    wire(["00 0B"]),                              % GETBATTERYLEVEL
    step(getSensor(S0, B, 0)),
    step(getMotor(M1, B, 1)),
    assertion(S0-M1 == Touch-M),
    step(remSensor(B, 0)),
    step(remMotor(B, 1)),
    step(disconnect(B)),
    step(playTone(B, 440, 500)),                  % the link is closed: nothing goes out
    wire([]).

:- end_tests(session).
