% tutorial/drive.pl: both wheels two turns forward, then a spin on the spot.
:- use_module(library(brick)).
:- initialization(main, main).

main :-
    current_prolog_flag(argv, [Device|_]),
    with_brick(Device, Brick, drive(Brick)).

drive(Brick) :-
    brick_motor(Brick, b, Left),
    brick_motor(Brick, c, Right),
    wheels(Left, 50, Right, 50, 720),
    wheels(Left, 40, Right, -40, 230),
    motor_position(Left, Degrees),
    format("left wheel at ~d degrees~n", [Degrees]).

wheels(Left, LeftPower, Right, RightPower, Degrees) :-
    motor_turn(Left, LeftPower, Degrees),
    motor_turn(Right, RightPower, Degrees),
    motor_wait(Left),
    motor_wait(Right).
