% library(brick)'s pilot and events against bricksim: the robot's true pose from bricksim's
% recording (its last frame), the pilot's own estimate from pilot_pose/2. A 50 cm square over
% USB (stepped) and Bluetooth (real time); travel 30 cm in real time over both; 100 scripted
% bumper presses, each one event; a lost brick said as such.
%
% Run: swipl -p library=PACK/prolog -p foreign=PACK/lib/ARCH -g main test_pilot.pl -- BRICKSIM

:- use_module(library(plunit)).
:- use_module(library(lists)).
:- use_module(library(readutil)).
:- use_module(library(http/json)).
:- use_module(library(brickmod), []).
:- use_module(library(brick)).
:- use_module(brick_sim).

% main: the units named after the bricksim on the command line, or all of them.
main :-
    current_prolog_flag(argv, [Exe|Names]),
    nb_setval(bricksim, Exe),
    (   Names == []
    ->  Units = [pilot, pilot_real_time, events]
    ;   maplist([N, U]>>atom_string(U, N), Names, Units)
    ),
    (   run_tests(Units)
    ->  halt(0)
    ;   halt(1)
    ).

:- meta_predicate run_on(+, 1, -).

% run_on(+Options, +Goal): Goal(Brick) against a fresh bricksim; End its robot's last pose,
% relative to where it began, as pose(X, Y, Heading).
run_on(Options, Goal, End) :-
    nb_getval(bricksim, Exe),
    tmp_file(run, Record),
    setup_call_cleanup(sim_start(Exe, Sim, [record(Record)|Options]),
                       ( sim_link(Sim, Link),
                         with_brick(Link, B, call(Goal, B))
                       ),
                       sim_stop_keeping(Sim)),
    last_frame(Record, End),
    delete_file(Record).

% Stops bricksim so that its recording is whole, then drops its other files.
sim_stop_keeping(Sim) :-
    sim_stop(Sim).

last_frame(File, pose(X, Y, H)) :-
    read_file_to_string(File, Text, []),
    split_string(Text, "\n", "", Lines),
    include([L]>>sub_string(L, _, _, _, "\"type\":\"frame\""), Lines, Frames),
    Frames = [First|_],
    last(Frames, Last),
    frame_pose(First, X0, Y0, H0),
    frame_pose(Last, X1, Y1, H1),
    X is X1 - X0, Y is Y1 - Y0,
    H is H1 - H0 - 360 * round((H1 - H0) / 360).

frame_pose(Line, X, Y, H) :-
    atom_json_dict(Line, Dict, []),
    X = Dict.x, Y = Dict.y, H = Dict.heading.

% A 50 cm square, turning left at each corner; its end as the pilot estimates it.
square(Pose, B) :-
    pilot_new(B, [], P),
    forall(between(1, 4, _),
           ( pilot_travel(P, 50),
             pilot_rotate(P, 90) )),
    pilot_pose(P, Pose).

% square_on(+Model, +Clock): the square over a link model, on a clock; where the robot ends,
% and where the pilot thinks it is, near its start.
square_on(Model, Clock) :-
    run_on([link_model(Model)|Clock], square(pose(EX, EY, EH)), pose(X, Y, H)),
    Off is sqrt(X*X + Y*Y),
    Wrong is sqrt((EX-X)**2 + (EY-Y)**2),
    format(user_error, "~w: square ends ~2f cm, ~2f degrees from its start; estimate ~2f cm off~n",
           [Model, Off, H, Wrong]),
    assertion(Off < 3),
    assertion(abs(H) < 5),
    assertion(Wrong < 2),
    assertion(abs(EH - H) < 2).

:- begin_tests(pilot).

link(usb).
link(bluetooth).

test(square) :-
    square_on(usb, []).

travel(B) :-
    pilot_new(B, [], P),
    pilot_travel(P, 30).

test(travel_real_time, [forall(link(Model))]) :-
    run_on([link_model(Model), real_time(true)], travel, pose(X, Y, _)),
    Went is sqrt(X*X + Y*Y),
    format(user_error, "~w, real time: travelled ~2f cm~n", [Model, Went]),
    assertion(abs(Went - 30) < 1).

% Without waiting: the program polls, then stops the robot midway.
halfway(B) :-
    pilot_new(B, [], P),
    pilot_travel(P, 100, [wait(false)]),
    wait_until(( pilot_pose(P, pose(X, _, _)), X > 20 )),
    assertion(pilot_moving(P)),
    pilot_stop(P),
    assertion(\+ pilot_moving(P)).

test(stop_midway) :-
    run_on([], halfway, pose(X, _, _)),
    assertion(X > 20),
    assertion(X < 40).

:- end_tests(pilot).

% The square over Bluetooth in real time, a test run alone (prolog.pilot.real_time). The pilot
% reads the two wheels' counts a round trip (60 ms) apart, and further apart on a machine busy
% with other tests, so that a wheel speeding up or slowing down reads as a slight turn: beside
% seven sanitizer tests on two processors its estimate was 4.3 cm off and the robot ended 2.8 cm
% from its start; alone, 0.1 cm and 0.9 cm. (On the stepped clock a bricksim process takes the
% two wheels' telegrams as two bursts when it reads the first before the second is written, and
% the robot sets off askew: the C++ pilot_test has the stepped square over both links.)
:- begin_tests(pilot_real_time).

test(square) :-
    square_on(bluetooth, [real_time(true)]).

:- end_tests(pilot_real_time).

:- begin_tests(events).

presses(B) :-
    brick_sensor(B, 1, touch, Bumper),
    brick_events(B, [touch(Bumper), poll(0)], Events),
    collect(Events, 0, 0, Pressed, Released),
    brick_events_stop(Events),
    assertion(Pressed == 100),
    assertion(Released == 100).

% Events until the hundredth release, or until none comes for 10 s. The world's time moves
% only with the watcher's telegrams, so a busy machine can take well over a second of its own
% time between two presses.
collect(_, P, 100, P, 100) :- !.
collect(Events, P0, R0, P, R) :-
    (   wait_event(Events, Event, 10)
    ->  (   Event = touch(1, pressed)
        ->  P1 is P0 + 1, R1 = R0
        ;   Event = touch(1, released)
        ->  P1 = P0, R1 is R0 + 1
        ;   P1 = P0, R1 = R0
        ),
        collect(Events, P1, R1, P, R)
    ;   P = P0, R = R0
    ).

test(no_press_lost) :-
    tmp_file(presses, World),
    setup_call_cleanup(open(World, write, Out),
                       ( format(Out, "name presses~narena 300 300~nrobot 150 150 0~n", []),
                         forall(between(0, 99, I),
                                ( At is 0.5 + 0.5 * I,
                                  format(Out, "press ~4f 0.2~n", [At]) ))
                       ),
                       close(Out)),
    run_on([world(World)], presses, _),
    delete_file(World).

% Wheel B jammed from 0.1 s while both motors run: one motor(b, stalled) and nothing of c.
jammed(B) :-
    brick_motor(B, b, Left),
    brick_motor(B, c, Right),
    brick_events(B, [motor(Left), motor(Right)], Events),
    motor_run(Left, 30),
    motor_run(Right, 30),
    all_events(Events, Seen),
    brick_events_stop(Events),
    motor_stop(Left),
    motor_stop(Right),
    assertion(Seen == [motor(b, stalled)]).

% The first event within 10 s (the world's time moves only with the watcher's telegrams,
% slowly on a busy machine), then every event until none comes for 1.5 s.
all_events(Events, [E|Es]) :-
    wait_event(Events, E, 10), !,
    more_events(Events, Es).
all_events(_, []).

more_events(Events, [E|Es]) :-
    wait_event(Events, E, 1.5), !,
    more_events(Events, Es).
more_events(_, []).

test(stalled_wheel) :-
    tmp_file(jam, World),
    setup_call_cleanup(open(World, write, Out),
                       format(Out, "name jam~narena 300 300~nrobot 150 150 0~nhold B 0.1 1000~n", []),
                       close(Out)),
    run_on([world(World)], jammed, _),
    delete_file(World).

test(lost_brick) :-
    nb_getval(bricksim, Exe),
    sim_start(Exe, Sim),
    sim_link(Sim, Link),
    brick_open(Link, B),
    brick_sensor(B, 1, touch, Bumper),
    brick_events(B, [touch(Bumper)], Events),
    assertion(\+ wait_event(Events, _, 0.2)),
    sim_kill(Sim),
    wait_event(Events, Event, 10),
    brick_events_stop(Events),
    brick_close(B),
    sim_stop(Sim),
    assertion(Event = brick_lost(Link)).

:- end_tests(events).
