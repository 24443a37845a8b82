% tutorial/robot.pl: avoid walls, and follow the dark line's left edge once found.
:- use_module(library(brick)).
:- initialization(main, main).

dark(40).

main :-
    current_prolog_flag(argv, [Device|Rest]),
    (   Rest = [Text]                   % a number of steps, to try it briefly
    ->  atom_number(Text, Steps)
    ;   Steps = 600
    ),
    with_brick(Device, Brick, robot(Brick, Steps)).

robot(Brick, Steps) :-
    brick_motor(Brick, b, Left),
    brick_motor(Brick, c, Right),
    brick_sensor(Brick, 2, light, Light),
    brick_sensor(Brick, 4, ultrasonic, Sonar),
    Robot = robot(Left, Right, Light, Sonar),
    numlist(1, Steps, Numbers),
    foldl(step(Robot), Numbers, searching, _),
    motor_stop(Left),
    motor_stop(Right).

% step(+Robot, +N, +Mode0, -Mode): Mode is searching or following.
step(robot(Left, Right, Light, Sonar), _, Mode0, Mode) :-
    sensor_value(Sonar, Centimetres),
    sensor_value(Light, Brightness),
    dark(Dark),
    (   Centimetres < 25
    ->  format("wall ~d cm ahead, turning away~n", [Centimetres]),
        spin(Left, Right),
        Mode = Mode0
    ;   Mode0 == searching,
        Brightness < Dark
    ->  format("found the line~n"),
        Mode = following
    ;   Mode0 == following
    ->  (   Brightness < Dark + 2           % over the line: bear left
        ->  powers(Left, 8, Right, 35)
        ;   powers(Left, 35, Right, 8)      % over the floor: bear right
        ),
        Mode = following
    ;   powers(Left, 50, Right, 50),
        Mode = searching
    ).

spin(Left, Right) :-
    motor_turn(Left, 40, 230),
    motor_turn(Right, -40, 230),
    motor_wait(Left),
    motor_wait(Right).

powers(Left, LeftPower, Right, RightPower) :-
    motor_run(Left, LeftPower),
    motor_run(Right, RightPower).
