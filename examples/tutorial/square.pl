% tutorial/square.pl: a 50 cm square with the pilot, and where it reckons it ended.
:- use_module(library(brick)).
:- initialization(main, main).

main :-
    current_prolog_flag(argv, [Device|_]),
    with_brick(Device, Brick, square(Brick)).

square(Brick) :-
    pilot_new(Brick, [wheel_diameter(5.6), track(12), left(b), right(c)], Pilot),
    forall(between(1, 4, _),
           ( pilot_travel(Pilot, 50),
             pilot_rotate(Pilot, 90) )),
    pilot_pose(Pilot, pose(X, Y, Heading)),
    format("back where it began: ~d cm, ~d cm, heading ~d~n",
           [round(X), round(Y), round(Heading)]).
