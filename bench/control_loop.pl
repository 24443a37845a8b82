% The control loop of bench/control_loop_bench.cpp from library(brick), against bricksim in real
% time at a link model's pace: touch, light, ultrasonic and both rotation counts, then both
% motors, in one brick_read/2. Wall-clock time: the machine's load shows in it, so the run
% says how loaded it was.
%
% Run: swipl -p library=PACK/prolog -p foreign=PACK/lib/ARCH -p library=tests/prolog \
%        bench/control_loop.pl BRICKSIM MODEL LIMIT [CYCLES]
% Prints: figure, cycles/s, the model's limit, ratio, telegrams per cycle.

:- use_module(library(brick)).
:- use_module(library(brick_sim)).
:- initialization(main, main).

main :-
    current_prolog_flag(argv, [Exe, Model, LimitText|Rest]),
    atom_number(LimitText, Limit),
    (   Rest = [N|_] -> atom_number(N, Cycles) ; Cycles = 20 ),
    (   Model == usb -> InFlight = 8 ; InFlight = 2 ),
    setup_call_cleanup(
        sim_start(Exe, Sim, [real_time(true), link_model(Model)]),
        ( sim_link(Sim, Link),
          with_brick(Link, B, run(Sim, B, Cycles, Seconds, Telegrams), [in_flight(InFlight)])
        ),
        sim_stop(Sim)),
    Rate is Cycles / Seconds,
    Ratio is Rate / Limit,
    PerCycle is Telegrams / Cycles,
    format("control loop, library(brick), cycles/s, ~w\t~3f\t~3f\t~3f\t~2f~n",
           [Model, Rate, Limit, Ratio, PerCycle]).

run(Sim, B, Cycles, Seconds, Telegrams) :-
    brick_sensor(B, 1, touch, _),
    brick_sensor(B, 3, light, _),
    brick_sensor(B, 4, ultrasonic, _),
    brick_motor(B, b, Left),
    brick_motor(B, c, Right),
    keep_alive(B, _),
    sim_commands(Sim, Before),
    get_time(T0),
    forall(between(1, Cycles, _), cycle(B, Left, Right)),
    keep_alive(B, _),
    get_time(T1),
    sim_commands(Sim, After),
    length(Before, N0),
    length(After, N1),
    Telegrams is N1 - N0 - 1,
    Seconds is T1 - T0.

cycle(B, _, _) :-
    brick_read(B, [sensor(1, _), sensor(3, _), sensor(4, _), rotation(b, _), rotation(c, _),
                   run(b, 40), run(c, 40)]).
