% tutorial/sense.pl: what the bumper and the ultrasonic sensor read.
:- use_module(library(brick)).
:- initialization(main, main).

main :-
    current_prolog_flag(argv, [Device|_]),
    with_brick(Device, Brick, sense(Brick)).

sense(Brick) :-
    brick_sensor(Brick, 1, touch, Bumper),
    brick_sensor(Brick, 4, ultrasonic, Sonar),
    sensor_value(Bumper, Pressed),
    sensor_value(Sonar, Centimetres),
    format("bumper ~w, wall ~d cm ahead~n", [Pressed, Centimetres]).
