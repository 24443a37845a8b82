/*  explore.pl: a robot explores its arena, on library(brick).

    It drives ahead, turns away from walls the ultrasonic sensor sees, backs off when the
    bumper closes, follows the dark line with the light sensor for a while when it finds it,
    and plays a tone at the end, printing what it does and what it reads as it goes.

    The robot: wheels on motor ports b (left) and c (right); touch sensor on sensor port 1,
    light sensor on 2, colour sensor on 3, ultrasonic sensor on 4.

    Run it against the virtual brick (scripts/demo does all of this):
        bricksim --link /tmp/brick &
        scripts/swipl-brick examples/explore.pl /tmp/brick
    and against a real brick by giving its device or its Bluetooth address instead:
        scripts/swipl-brick examples/explore.pl /dev/rfcomm0
        scripts/swipl-brick examples/explore.pl 00:16:53:01:02:03
    Optional further arguments: the number of steps (default 600) and the pause after each
    step in milliseconds (default 30; the wheels are polled as often, at most every 20 ms).

    examples/explore_brickmod.pl is the same explorer on module brickmod.
*/

:- use_module(library(brick)).
:- use_module(library(lists)).
:- initialization(main, main).

cruise_power(50).
wall_cm(20).            % turn away from a wall this close
dark(40).               % the light sensor reads below this over the line
follow_steps(200).      % how long to follow the line once found

main :-
    current_prolog_flag(argv, Argv),
    (   Argv = [Device|Rest]
    ->  true
    ;   format(user_error,
               "usage: explore.pl DEVICE|XX:XX:XX:XX:XX:XX [STEPS [PAUSE_MS]]~n", []),
        halt(2)
    ),
    number_argument(Rest, 1, 600, Steps),
    number_argument(Rest, 2, 30, PauseMs),
    catch(with_brick(Device, Brick, run(Brick, Steps, PauseMs)), Error, stopped(Error)).

number_argument(Args, N, Default, Value) :-
    (   nth1(N, Args, Text)
    ->  atom_number(Text, Value)
    ;   Value = Default
    ).

% No brick at the device, or a brick that went away or stopped answering: say so, exit 1.
stopped(error(Formal, _)) :-
    lost(Formal, Device),
    !,
    (   nb_current(explore_started, true)
    ->  format("lost the brick, stopping~n")
    ;   format(user_error, "explore.pl: no brick answers on ~w~n", [Device])
    ),
    halt(1).
stopped(Error) :-
    throw(Error).

lost(existence_error(brick, Device), Device).
lost(timeout_error(_, Device), Device).

run(Brick, Steps, PauseMs) :-
    robot(Brick, Robot),
    Poll is min(0.02, PauseMs / 1000),
    nb_setval(poll_seconds, Poll),
    nb_setval(explore_started, true),
    explore(Robot, PauseMs, 0, Steps, searching, stats(0, 0), stats(Turns, Bumps)),
    finish(Robot, Turns, Bumps).

%!  robot(+Brick, -Robot) is det.
%   Names the brick's motors and sensors, and says hello.
robot(Brick, robot(Brick, Left, Right, Touch, Light, Colour, Sonar)) :-
    brick_name(Brick, Name),
    battery(Brick, Millivolts),
    brick_device(Brick, Device),
    format("connected to ~w on ~w, battery ~d mV~n", [Name, Device, Millivolts]),
    brick_motor(Brick, b, Left),
    brick_motor(Brick, c, Right),
    brick_sensor(Brick, 1, touch, Touch),
    brick_sensor(Brick, 2, light, Light),
    brick_sensor(Brick, 3, color, Colour),
    brick_sensor(Brick, 4, ultrasonic, Sonar),
    motor_reset(Left),
    motor_reset(Right).

%!  explore(+Robot, +PauseMs, +Step, +Steps, +Follow0, +Stats0, -Stats) is det.
%   One step a call: bumper first, then the wall ahead, then the floor. Follow is searching,
%   following(StepsLeft) or done.
explore(_, _, Step, Steps, _, Stats, Stats) :-
    Step >= Steps,
    !.
explore(Robot, PauseMs, Step, Steps, Follow0, Stats0, Stats) :-
    Robot = robot(_, _, _, Touch, Light, _, Sonar),
    wall_cm(Near),
    (   sensor_value(Touch, 1)
    ->  format("step ~d: bumper closed, backing off~n", [Step]),
        turn_wheels(Robot, -40, -40, 200),
        turn_wheels(Robot, 40, -40, 200),
        Follow = Follow0,
        count_bump(Stats0, Stats1)
    ;   sensor_value(Sonar, Distance),
        Distance < Near
    ->  format("step ~d: wall ~d cm ahead, turning away~n", [Step, Distance]),
        turn_wheels(Robot, 40, -40, 230),
        Follow = Follow0,
        count_turn(Stats0, Stats1)
    ;   sensor_value(Light, Brightness),
        drive(Robot, Step, Brightness, Follow0, Follow),
        report(Robot, Step, Brightness),
        Stats1 = Stats0
    ),
    pause(PauseMs),
    Next is Step + 1,
    explore(Robot, PauseMs, Next, Steps, Follow, Stats1, Stats).

count_turn(stats(T0, B), stats(T, B)) :- T is T0 + 1.
count_bump(stats(T, B0), stats(T, B)) :- B is B0 + 1.

%!  drive(+Robot, +Step, +Brightness, +Follow0, -Follow) is det.
drive(Robot, Step, Brightness, searching, following(Steps)) :-
    dark(Dark),
    Brightness < Dark,
    !,
    format("step ~d: found the line (light ~d), following it~n", [Step, Brightness]),
    turn_wheels(Robot, -30, 30, 150),     % swing left, onto the line's left edge
    follow_steps(Steps).
drive(Robot, Step, Brightness, following(Left0), Follow) :-
    !,
    % Follow the line's left edge: over the dark, bear left; over the floor, bear right.
    dark(Dark),
    (   Brightness < Dark + 2
    ->  powers(Robot, 8, 35)
    ;   powers(Robot, 35, 8)
    ),
    Left is Left0 - 1,
    (   Left =:= 0
    ->  format("step ~d: leaving the line~n", [Step]),
        Follow = done
    ;   Follow = following(Left)
    ).
drive(Robot, _, _, Follow, Follow) :-
    cruise_power(Power),
    powers(Robot, Power, Power).

powers(robot(_, Left, Right, _, _, _, _), LeftPower, RightPower) :-
    motor_run(Left, LeftPower),
    motor_run(Right, RightPower).

report(robot(_, Left, Right, _, _, Colour, Sonar), Step, Brightness) :-
    (   Step mod 25 =:= 0
    ->  sensor_value(Colour, Floor),
        sensor_value(Sonar, Distance),
        motor_position(Left, L),
        motor_position(Right, R),
        format("step ~d: sonar ~d cm, light ~d, floor ~w, wheels ~d/~d~n",
               [Step, Distance, Brightness, Floor, L, R])
    ;   true
    ).

%!  turn_wheels(+Robot, +LeftPower, +RightPower, +Degrees) is det.
%   Turns both wheels by Degrees (powers signed) and waits until both have stopped, for at
%   most five seconds each.
turn_wheels(robot(_, Left, Right, _, _, _, _), LeftPower, RightPower, Degrees) :-
    motor_turn(Left, LeftPower, Degrees),
    motor_turn(Right, RightPower, Degrees),
    wait_wheel(Left),
    wait_wheel(Right).

% A wheel held back by a wall never gets there: give up on it after five seconds.
wait_wheel(Wheel) :-
    nb_getval(poll_seconds, Poll),
    catch(motor_wait(Wheel, [timeout(5), poll(Poll)]),
          error(timeout_error(motor_wait(_), _), _),
          true).

pause(Ms) :-
    (   Ms > 0
    ->  Seconds is Ms / 1000,
        sleep(Seconds)
    ;   true
    ).

finish(robot(Brick, Left, Right, _, _, _, _), Turns, Bumps) :-
    motor_stop(Left),
    motor_stop(Right),
    tone(Brick, 880, 300),
    motor_position(Left, L),
    motor_position(Right, R),
    battery(Brick, Millivolts),
    format("done: ~d wall turns, ~d bumps, wheels ~d/~d, battery ~d mV~n",
           [Turns, Bumps, L, R, Millivolts]).
