% Part of library(brick), included by brick.pl: driving a two-wheel robot in centimetres and
% degrees, and where it is by its wheels' counts. The foreign part is PilotPredicates.cpp, on
% the class library's Pilot.

%!  pilot_new(+Brick, +Options, -Pilot) is det.
%
%   Pilot drives the robot whose wheels are on two motors of Brick.
%   Options:
%
%     - wheel_diameter(+Cm): default 5.6;
%     - track(+Cm): the distance between the wheels, default 12;
%     - left(+Port), right(+Port): the wheels' motors, default `b`, `c`;
%     - reverse(+Bool): `true` when the motors turn backwards to drive
%       forwards (default `false`);
%     - power(+Power): of the faster wheel in a move, 10 to 100 (default 50).
%
%   The pose starts as pose(0, 0, 0): x ahead, y to the left, heading in
%   degrees counter-clockwise.

pilot_new(Brick, Options, pilot(Brick, Number)) :-
    must_be(list, Options),
    option(left(Left), Options, b),
    option(right(Right), Options, c),
    option(reverse(Reverse), Options, false),
    option(wheel_diameter(Diameter), Options, 5.6),
    option(track(Track), Options, 12),
    option(power(Power), Options, 50),
    '$pilot_new'(Brick, Left, Right, Reverse, Diameter, Track, Power, Number).

%!  pilot_travel(+Pilot, +Cm) is det.
%!  pilot_travel(+Pilot, +Cm, +Options) is det.
%!  pilot_rotate(+Pilot, +Degrees) is det.
%!  pilot_rotate(+Pilot, +Degrees, +Options) is det.
%!  pilot_arc(+Pilot, +Radius, +Degrees) is det.
%!  pilot_arc(+Pilot, +Radius, +Degrees, +Options) is det.
%!  pilot_go_to(+Pilot, +X, +Y) is det.
%!  pilot_go_to(+Pilot, +X, +Y, +Options) is det.
%
%   Drives Cm ahead (negative: back); rotates on the spot, counter-clockwise
%   for positive Degrees; drives Degrees of a circle of Radius cm whose
%   centre is on the left (positive Radius) or the right; faces the point
%   (X, Y) of the pose's frame and drives to it. A move starts when the ones
%   before it are over. Each waits until the robot has stopped, unless
%   Options has wait(false): the move then goes on while the program runs,
%   carried on by pilot_wait/1, pilot_moving/1 and pilot_pose/2.
%
%   The brick stops the wheels at their goals; they coast past, further
%   the faster they ran, so each move is aimed short by the coasting seen
%   in earlier moves and then trimmed at low power.

pilot_travel(Pilot, Cm) :- pilot_move(Pilot, travel, Cm, 0, []).
pilot_travel(Pilot, Cm, Options) :- pilot_move(Pilot, travel, Cm, 0, Options).
pilot_rotate(Pilot, Degrees) :- pilot_move(Pilot, rotate, Degrees, 0, []).
pilot_rotate(Pilot, Degrees, Options) :- pilot_move(Pilot, rotate, Degrees, 0, Options).
pilot_arc(Pilot, Radius, Degrees) :- pilot_move(Pilot, arc, Radius, Degrees, []).
pilot_arc(Pilot, Radius, Degrees, Options) :-
    pilot_move(Pilot, arc, Radius, Degrees, Options).
pilot_go_to(Pilot, X, Y) :- pilot_move(Pilot, go_to, X, Y, []).
pilot_go_to(Pilot, X, Y, Options) :- pilot_move(Pilot, go_to, X, Y, Options).

pilot_move(Pilot, Kind, A, B, Options) :-
    must_be(list, Options),
    pilot_parts(Pilot, Brick, Number),
    '$pilot_move'(Brick, Number, Kind, A, B),
    (   option(wait(false), Options)
    ->  true
    ;   pilot_wait(Pilot, Options)
    ).

pilot_parts(Pilot, Brick, Number) :-
    (   Pilot = pilot(Brick, Number)
    ->  true
    ;   type_error(pilot, Pilot)
    ).

%!  pilot_wait(+Pilot) is det.
%!  pilot_wait(+Pilot, +Options) is det.
%
%   Carries the moves through until none is left. Options: timeout(Seconds)
%   (default 120; then the robot is stopped and timeout_error(pilot_wait,
%   Device) raised) and poll(Seconds) (default 0.02).

pilot_wait(Pilot) :-
    pilot_wait(Pilot, []).

pilot_wait(Pilot, Options) :-
    pilot_parts(Pilot, Brick, Number),
    option(timeout(Timeout), Options, 120),
    seconds(Timeout),
    option(poll(Poll), Options, 0.02),
    seconds(Poll),
    get_time(Now),
    Deadline is Now + Timeout,
    pilot_wait(Brick, Number, Poll, Deadline).

pilot_wait(Brick, Number, Poll, Deadline) :-
    '$pilot_update'(Brick, Number, Moving, _, _, _),
    (   Moving == false
    ->  true
    ;   get_time(Now),
        Now > Deadline
    ->  '$pilot_stop'(Brick, Number),
        brick_device(Brick, Device),
        throw(error(timeout_error(pilot_wait, Device), _))
    ;   sleep(Poll),
        pilot_wait(Brick, Number, Poll, Deadline)
    ).

%!  pilot_moving(+Pilot) is semidet.
%
%   True while a move is under way or still to come (looks at the wheels
%   once, and carries the move on).

pilot_moving(Pilot) :-
    pilot_parts(Pilot, Brick, Number),
    '$pilot_update'(Brick, Number, true, _, _, _).

%!  pilot_pose(+Pilot, -Pose) is det.
%
%   Pose is pose(X, Y, Heading) as the wheels' counts tell it now (cm, cm,
%   degrees in (-180, 180]). What the counts cannot tell (a wheel that
%   slips, the robot pushed or lifted) it does not know.

pilot_pose(Pilot, pose(X, Y, Heading)) :-
    pilot_parts(Pilot, Brick, Number),
    '$pilot_update'(Brick, Number, _, X, Y, Heading).

%!  pilot_stop(+Pilot) is det.
%
%   Brakes both wheels at once and drops the moves still to come.

pilot_stop(Pilot) :-
    pilot_parts(Pilot, Brick, Number),
    '$pilot_stop'(Brick, Number).
