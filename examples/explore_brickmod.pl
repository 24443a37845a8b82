/*  explore_brickmod.pl: a robot explores its arena, on module brickmod.

    The same explorer as explore.pl, written on the lower-level module brickmod (the
    predicates that mirror the C++ classes one for one); it sends what examples/explore.cpp
    sends, telegram for telegram.

    It drives ahead, turns away from walls the ultrasonic sensor sees, backs off when the
    bumper closes, follows the dark line with the light sensor for a while when it finds it,
    and plays a tone at the end, printing what it does and what it reads as it goes.

    The robot: wheels on outputs B (left, port 1) and C (right, port 2); touch sensor on
    input 1 (port 0), light sensor on input 2 (port 1), colour sensor on input 3 (port 2),
    ultrasonic sensor on input 4 (port 3).

    Run it against the virtual brick (scripts/demo does all of this):
        bricksim --link /tmp/brick &
        swipl -p library=DIR_OF_BRICKMOD -p foreign=DIR_OF_LIBBRICKPREDS \
              examples/explore_brickmod.pl /tmp/brick
    and against a real brick by giving its device or its Bluetooth address instead:
        swipl ... examples/explore_brickmod.pl /dev/rfcomm0
        swipl ... examples/explore_brickmod.pl 00:16:53:01:02:03
    Optional further arguments: the number of steps (default 600) and the pause after each
    step in milliseconds (default 30).
*/

:- use_module(library(brickmod)).
:- initialization(main, main).

% Sensor kinds.
kind(light, 800).
kind(touch, 802).
kind(ultrasonic, 805).
kind(colour, 806).

cruise_power(50).
wall_cm(20).            % turn away from a wall this close
dark(40).               % the light sensor reads below this over the line
follow_steps(200).      % how long to follow the line once found

colour_name(1, black).
colour_name(2, blue).
colour_name(3, green).
colour_name(4, yellow).
colour_name(5, red).
colour_name(6, white).

main :-
    current_prolog_flag(argv, Argv),
    (   Argv = [Device|Rest]
    ->  true
    ;   format(user_error,
               "usage: explore_brickmod.pl DEVICE|XX:XX:XX:XX:XX:XX [STEPS [PAUSE_MS]]~n", []),
        halt(2)
    ),
    number_argument(Rest, 1, 600, Steps),
    number_argument(Rest, 2, 30, PauseMs),
    nb_setval(pause_ms, PauseMs),
    nb_setval(lost_readings, 0),
    setup(Device, Robot),
    explore(Robot, 0, Steps, searching, stats(0, 0), stats(Turns, Bumps)),
    finish(Robot, Turns, Bumps).

number_argument(Args, N, Default, Value) :-
    (   nth1(N, Args, Text)
    ->  atom_number(Text, Value)
    ;   Value = Default
    ).

%!  setup(+Device, -Robot) is det.
%   Connects to the brick and attaches the motors and sensors.
setup(Device, robot(Brick, Left, Right, Touch, Light, Colour, Sonar)) :-
    'Block'(Brick),
    connectBluetooth(Brick, Device),
    getName(Name, Brick),
    getBatteryLevel(Millivolts, Brick),
    answered(Device, Millivolts),
    format("connected to ~w on ~w, battery ~d mV~n", [Name, Device, Millivolts]),
    'Motor'(Left),
    setMotor(Brick, Left, 1),
    'Motor'(Right),
    setMotor(Brick, Right, 2),
    sensor(Brick, touch, 0, Touch),
    sensor(Brick, light, 1, Light),
    sensor(Brick, colour, 2, Colour),
    sensor(Brick, ultrasonic, 3, Sonar),
    enableSonar(Sonar),
    setBrake(Left, 1),
    setBrake(Right, 1),
    resetRotationCount(Left),
    resetRotationCount(Right).

%   connectBluetooth/2 succeeds whether or not a brick answered, and a reply that never came
%   leaves getBatteryLevel/2 its pre-filled 257 mV: no brick runs on that. Without this check
%   the robot would be driven by pre-filled bytes (a bumper always closed) for every step.
answered(Device, Millivolts) :-
    (   Millivolts =:= 257
    ->  format(user_error, "explore_brickmod.pl: no brick answers on ~w~n", [Device]),
        halt(1)
    ;   true
    ).

sensor(Brick, Name, Port, Sensor) :-
    kind(Name, Kind),
    'Sensor'(Sensor),
    setSensorType(Sensor, Kind),
    setSensor(Brick, Sensor, Port).

%!  explore(+Robot, +Step, +Steps, +Follow0, +Stats0, -Stats) is det.
%   One step a call: bumper first, then the wall ahead, then the floor. Follow is searching,
%   following(StepsLeft) or done.
explore(_, Step, Steps, _, Stats, Stats) :-
    Step >= Steps,
    !.
explore(Robot, Step, Steps, Follow0, Stats0, Stats) :-
    Robot = robot(_, _, _, Touch, Light, _, Sonar),
    getValue(Pressed, Touch),
    (   Pressed =:= 1
    ->  format("step ~d: bumper closed, backing off~n", [Step]),
        turn_wheels(Robot, -40, -40, 200),
        turn_wheels(Robot, 40, -40, 200),
        Follow = Follow0,
        count_bump(Stats0, Stats1)
    ;   getValue(Distance, Sonar),
        wall_cm(Near),
        (   Distance >= 0, Distance < Near
        ->  format("step ~d: wall ~d cm ahead, turning away~n", [Step, Distance]),
            turn_wheels(Robot, 40, -40, 230),
            Follow = Follow0,
            count_turn(Stats0, Stats1)
        ;   getValue(Brightness, Light),
            drive(Robot, Step, Brightness, Follow0, Follow),
            report(Robot, Step, Distance, Brightness),
            Stats1 = Stats0
        )
    ),
    pause,
    Next is Step + 1,
    explore(Robot, Next, Steps, Follow, Stats1, Stats).

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
    moveForward(Left, LeftPower),
    moveForward(Right, RightPower).

report(robot(_, Left, Right, _, _, Colour, _), Step, Distance, Brightness) :-
    (   Step mod 25 =:= 0
    ->  getValue(C, Colour),
        (   colour_name(C, Floor) -> true ; Floor = '?' ),
        getRotationCount(L, Left),
        getRotationCount(R, Right),
        format("step ~d: sonar ~d cm, light ~d, floor ~w, wheels ~d/~d~n",
               [Step, Distance, Brightness, Floor, L, R])
    ;   true
    ).

%!  turn_wheels(+Robot, +LeftPower, +RightPower, +Degrees) is det.
%   Turns both wheels by Degrees (powers signed) and waits until the left one has got
%   there, or for at most five seconds. The wheels stop first: the brick counts the degrees
%   from where a wheel is when the command arrives, and a wheel still running on would have
%   moved on from the count read before it (a round trip over Bluetooth is 60 ms), so that
%   it could stop short of the degrees counted from that reading.
turn_wheels(robot(_, Left, Right, _, _, _, _), LeftPower, RightPower, Degrees) :-
    stop(Left),
    stop(Right),
    getRotationCount(Start, Left),
    still_there(Start),
    wheel(Left, LeftPower, Degrees),
    wheel(Right, RightPower, Degrees),
    get_time(Now),
    Deadline is Now + 5,
    wait_wheel(Left, Start, Degrees, Deadline, 1000).

wheel(Motor, Power, Degrees) :-
    (   Power >= 0
    ->  moveForwardDegrees(Motor, Power, Degrees)
    ;   Back is -Power,
        moveBackwardDegrees(Motor, Back, Degrees)
    ).

wait_wheel(_, _, _, _, 0) :- !.
wait_wheel(Motor, Start, Degrees, Deadline, Polls) :-
    getRotationCount(Count, Motor),
    still_there(Count),
    get_time(Now),
    (   abs(Count - Start) >= Degrees - 2
    ->  true
    ;   Now > Deadline
    ->  true
    ;   pause,
        Left is Polls - 1,
        wait_wheel(Motor, Start, Degrees, Deadline, Left)
    ).

%!  still_there(+RotationCount) is det.
%   A brick that has gone (out of range, switched off) leaves every reply buffer as it was
%   pre-filled, and a rotation count then reads 16843009 (bytes 01 01 01 01); the touch
%   sensor reads closed, so the explorer would back off at every step it has left. One such
%   reading may be a reply lost in the air; three in a row, the brick is gone.
still_there(Count) :-
    (   Count =:= 16843009
    ->  nb_getval(lost_readings, Lost0),
        Lost is Lost0 + 1,
        nb_setval(lost_readings, Lost),
        (   Lost >= 3
        ->  format("lost the brick, stopping~n", []),
            halt(1)
        ;   true
        )
    ;   nb_setval(lost_readings, 0)
    ).

pause :-
    nb_getval(pause_ms, Ms),
    (   Ms > 0
    ->  Seconds is Ms / 1000,
        sleep(Seconds)
    ;   true
    ).

finish(robot(Brick, Left, Right, _, _, _, _), Turns, Bumps) :-
    stop(Left),
    stop(Right),
    playTone(Brick, 880, 300),
    getRotationCount(L, Left),
    getRotationCount(R, Right),
    getBatteryLevel(Millivolts, Brick),
    format("done: ~d wall turns, ~d bumps, wheels ~d/~d, battery ~d mV~n",
           [Turns, Bumps, L, R, Millivolts]),
    disconnect(Brick).
