% The instructions library(brick) adds to a brickmod call. Run by bench/run under callgrind as
%
%     swipl --no-threads -p library=PACK/prolog -p foreign=PACK/lib/ARCH brick_cost.pl PEER MODULE OP N
%
% MODULE is brickmod or brick, OP battery (getBatteryLevel/2 or battery/2), position
% (getRotationCount/2 or motor_position/2) or kind (getSensorType/2 or sensor_kind/2, which
% send nothing), N the calls. Both modules send the same telegrams and read the same replies,
% so the difference of two runs' instruction counts per call is the user-space work of the
% binding alone, the same on every run: unlike a time, the noise of the round trip is not in it.

:- use_module(library(brickmod)).
:- use_module(library(brick)).
:- initialization(main, main).

main :-
    current_prolog_flag(argv, [Peer, Module, Op, NText]),
    atom_number(NText, N),
    run(Module, Op, Peer, N).

run(brickmod, Op, Peer, N) :-
    'Block'(B),
    connectBluetooth(B, Peer),
    'Motor'(M),
    setMotor(B, M, 0),
    'Sensor'(S),
    setSensorType(S, 802),
    setSensor(B, S, 0),
    old_loop(Op, N, B, M, S),
    disconnect(B).
run(brick, Op, Peer, N) :-
    brick_open(Peer, B),
    brick_motor(B, a, M),
    brick_sensor(B, 1, touch, S),
    new_loop(Op, N, B, M, S),
    brick_close(B).

old_loop(_, 0, _, _, _) :- !.
old_loop(battery, N, B, M, S) :- getBatteryLevel(_, B), N1 is N - 1, old_loop(battery, N1, B, M, S).
old_loop(position, N, B, M, S) :- getRotationCount(_, M), N1 is N - 1, old_loop(position, N1, B, M, S).
old_loop(kind, N, B, M, S) :- getSensorType(_, S), N1 is N - 1, old_loop(kind, N1, B, M, S).

new_loop(_, 0, _, _, _) :- !.
new_loop(battery, N, B, M, S) :- battery(B, _), N1 is N - 1, new_loop(battery, N1, B, M, S).
new_loop(position, N, B, M, S) :- motor_position(M, _), N1 is N - 1, new_loop(position, N1, B, M, S).
new_loop(kind, N, B, M, S) :- sensor_kind(S, _), N1 is N - 1, new_loop(kind, N1, B, M, S).
