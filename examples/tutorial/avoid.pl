% tutorial/avoid.pl: drive about, turning away from every wall closer than 25 cm.
:- use_module(library(brick)).
:- initialization(main, main).

main :-
    current_prolog_flag(argv, [Device|Rest]),
    (   Rest = [Text]                   % a number of steps, to try it briefly
    ->  atom_number(Text, Steps)
    ;   Steps = 300
    ),
    with_brick(Device, Brick, avoid(Brick, Steps)).

avoid(Brick, Steps) :-
    brick_motor(Brick, b, Left),
    brick_motor(Brick, c, Right),
    brick_sensor(Brick, 4, ultrasonic, Sonar),
    forall(between(1, Steps, _), step(Left, Right, Sonar)),
    motor_stop(Left),
    motor_stop(Right).

step(Left, Right, Sonar) :-
    sensor_value(Sonar, Centimetres),
    (   Centimetres < 25
    ->  format("wall ~d cm ahead, turning away~n", [Centimetres]),
        motor_turn(Left, 40, 230),
        motor_turn(Right, -40, 230),
        motor_wait(Left),
        motor_wait(Right)
    ;   motor_run(Left, 50),
        motor_run(Right, 50)
    ).
