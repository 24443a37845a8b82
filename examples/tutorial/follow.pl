% tutorial/follow.pl: along the walls on events, turning left at each one.
:- use_module(library(brick)).
:- initialization(main, main).

main :-
    current_prolog_flag(argv, [Device|Rest]),
    (   Rest = [Text]                   % a number of turns, to try it briefly
    ->  atom_number(Text, Turns)
    ;   Turns = 4
    ),
    with_brick(Device, Brick, follow(Brick, Turns)).

follow(Brick, Turns) :-
    pilot_new(Brick, [], Pilot),
    brick_sensor(Brick, 4, ultrasonic, Sonar),
    brick_sensor(Brick, 1, touch, Bumper),
    brick_events(Brick, [distance(Sonar, 25), touch(Bumper)], Events),
    forall(between(1, Turns, _), leg(Pilot, Events)),
    brick_events_stop(Events).

% Ahead until a wall comes near or the bumper hits one, then away from it.
leg(Pilot, Events) :-
    pilot_travel(Pilot, 500, [wait(false)]),
    obstacle(Events, Event),
    pilot_stop(Pilot),
    react(Event, Pilot).

obstacle(Events, Event) :-
    wait_event(Events, Next),
    (   memberchk(Next, [distance(_, near, _), touch(_, pressed)])
    ->  Event = Next
    ;   obstacle(Events, Event)         % a wall left behind: drive on
    ).

react(distance(_, near, _), Pilot) :-
    format("a wall within 25 cm, turning left~n"),
    pilot_rotate(Pilot, 90).
react(touch(_, pressed), Pilot) :-
    format("bumped, backing off~n"),
    pilot_travel(Pilot, -10),
    pilot_rotate(Pilot, 90).
