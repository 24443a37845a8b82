:- module(brick,
          [ brick_open/2,               % +Device, -Brick
            brick_open/3,               % +Device, -Brick, +Options
            brick_close/1,              % +Brick
            with_brick/3,               % +Device, -Brick, :Goal
            brick_device/2,             % +Brick, -Device
            brick_status/2,             % +Brick, -Status
            brick_trace/2,              % +Brick, +Bool
            battery/2,                  % +Brick, -Millivolts
            brick_name/2,               % +Brick, -Name
            set_brick_name/2,           % +Brick, +Name
            tone/3,                     % +Brick, +Hertz, +Milliseconds
            tone/4,                     % +Brick, +Hertz, +Milliseconds, +Options
            stop_tone/1,                % +Brick
            brick_motor/3,              % +Brick, +Port, -Motor
            motor_run/2,                % +Motor, +Power
            motor_turn/3,               % +Motor, +Power, +Degrees
            motor_stop/1,               % +Motor
            motor_stop/2,               % +Motor, +Options
            motor_position/2,           % +Motor, -Degrees
            motor_reset/1,              % +Motor
            motor_wait/1,               % +Motor
            motor_wait/2,               % +Motor, +Options
            brick_sensor/4,             % +Brick, +Port, +Kind, -Sensor
            sensor_value/2,             % +Sensor, -Value
            sensor_kind/2               % +Sensor, -Kind
          ]).
:- use_module(library(option)).
:- use_module(library(error)).

/** <module> Drive an NXT brick: motors, sensors, speaker, battery and name

A brick is opened at a device and closed again; with_brick/3 does both
around a goal. Ports are named as printed on the brick: motors `a`, `b`,
`c`; sensors `1` to `4`. Sensor kinds are atoms such as `touch`,
`light(ambient)` or `ultrasonic`.

```
?- use_module(library(brick)).
?- with_brick('/dev/rfcomm0', B,
              ( battery(B, MV),
                brick_motor(B, a, M),
                motor_turn(M, 75, 360),
                motor_wait(M) )).
```

Every predicate is deterministic: it succeeds with a true value or raises
an error. Arguments are checked before anything is sent:

  - error(instantiation_error, _): an input is unbound;
  - error(type_error(Type, Culprit), _): an input has the wrong type;
  - error(domain_error(Domain, Culprit), _): a power, port, frequency,
    duration, degree count, name or sensor kind out of range.

What the brick did is told as it is:

  - error(existence_error(brick, Device), _): no brick answers at Device,
    or the brick went away (switched off, unplugged, out of range);
  - error(existence_error(brick, Brick), _): Brick was closed;
  - error(timeout_error(Operation, Device), _): the brick stopped answering
    while doing Operation (a link reply, or an ultrasonic measurement);
  - error(brick_refused(Operation, Code, Name), _): the brick answered with
    status Code (for example 0xDD, `bus_error`);
  - error(permission_error(open, brick, Device), _): this user may not open
    the device; error(resource_error(brick(Device)), _): another program
    holds it.

Two Prolog threads may use one brick, one reading sensors while the other
drives: each predicate's exchanges with the brick are one unit, never
interleaved with another thread's.
*/

:- use_foreign_library(foreign(brick4pl)).

:- meta_predicate with_brick(+, -, 0).

%!  brick_open(+Device, -Brick) is det.
%!  brick_open(+Device, -Brick, +Options) is det.
%
%   Opens the brick at Device and makes sure it answers (by asking for its
%   name, within about a second). Device is a serial device such as
%   '/dev/rfcomm0', a Bluetooth address 'XX:XX:XX:XX:XX:XX', `usb` (the
%   first brick on USB) or `bluetooth` (the first bound RFCOMM device that
%   answers). Options:
%
%     - trace(+Bool): print every telegram to user_error (see brick_trace/2).
%
%   @error existence_error(brick, Device) when no brick answers there.

brick_open(Device, Brick, Options) :-
    must_be(list, Options),
    brick_open(Device, Brick),
    (   option(trace(Trace), Options)
    ->  brick_trace(Brick, Trace)
    ;   true
    ).

%!  brick_close(+Brick) is det.
%
%   Closes the link. Closing a closed brick does nothing. A brick that is
%   garbage collected is closed too, but close it yourself (or use
%   with_brick/3): the link stays open until then.

%!  with_brick(+Device, -Brick, :Goal) is semidet.
%
%   Opens Brick at Device, runs Goal once, and closes Brick however Goal
%   ends: success, failure or an exception (which is raised again).

with_brick(Device, Brick, Goal) :-
    setup_call_cleanup(brick_open(Device, Brick),
                       once(Goal),
                       brick_close(Brick)).

%!  brick_device(+Brick, -Device) is det.
%
%   The device Brick was opened at.

%!  brick_status(+Brick, -Status) is det.
%
%   Status is `open`, or `closed` once brick_close/1 (or the end of
%   with_brick/3) closed it. A brick that went away stays `open` until it is
%   closed: the next predicate on it raises existence_error(brick, Device).

brick_status(Brick, Status) :-
    (   blob(Brick, brick)
    ->  catch(( brick_device(Brick, _), Status0 = open ),
              error(existence_error(brick, Brick), _),
              Status0 = closed),
        Status = Status0
    ;   var(Brick)
    ->  instantiation_error(Brick)
    ;   type_error(brick, Brick)
    ).

%!  brick_trace(+Brick, +Bool) is det.
%
%   Turns the telegram trace on (`true`) or off (`false`): each telegram
%   sent and received is printed to standard error, as hex and decoded.

%!  battery(+Brick, -Millivolts) is det.
%
%   The battery voltage in millivolts.

%!  brick_name(+Brick, -Name) is det.
%
%   The brick's name, as an atom.

%!  set_brick_name(+Brick, +Name) is det.
%
%   Renames the brick. Name is an atom or string of 1 to 15 characters
%   (the brick keeps no more), each a byte (code below 256).

%!  tone(+Brick, +Hertz, +Milliseconds) is det.
%!  tone(+Brick, +Hertz, +Milliseconds, +Options) is det.
%
%   Plays a tone of 200 to 14000 Hz for 0 to 65535 ms. The brick plays it
%   by itself: tone/3 returns at once. Options:
%
%     - wait(+Bool): with `true`, return when the tone has ended.

tone(Brick, Hertz, Milliseconds, Options) :-
    must_be(list, Options),
    tone(Brick, Hertz, Milliseconds),
    (   option(wait(true), Options)
    ->  Seconds is Milliseconds / 1000,
        sleep(Seconds)
    ;   true
    ).

%!  stop_tone(+Brick) is det.
%
%   Stops the tone or sound file playing.

%!  brick_motor(+Brick, +Port, -Motor) is det.
%
%   Motor is the motor at output Port (`a`, `b` or `c`), the term
%   motor(Brick, Port). Sends nothing.

%!  motor_run(+Motor, +Power) is det.
%
%   Runs the motor at Power, -100 to 100 (negative: backwards), until it is
%   told otherwise.

%!  motor_turn(+Motor, +Power, +Degrees) is det.
%
%   Turns the motor by Degrees (a positive integer) at Power, forwards for
%   a positive Power and backwards for a negative one, and returns at once.
%   It reads the position first, so that motor_wait/1 knows where the turn
%   ends. The brick stops the motor by itself, coasting a little beyond.

%!  motor_stop(+Motor) is det.
%!  motor_stop(+Motor, +Options) is det.
%
%   Stops the motor. Options:
%
%     - brake(+Bool): `true` (default) holds the motor still, `false`
%       lets it coast.

motor_stop(Motor) :-
    '$motor_stop'(Motor, true).

motor_stop(Motor, Options) :-
    must_be(list, Options),
    option(brake(Brake), Options, true),
    '$motor_stop'(Motor, Brake).

%!  motor_position(+Motor, -Degrees) is det.
%
%   Degrees turned since the last motor_reset/1, negative backwards.

%!  motor_reset(+Motor) is det.
%
%   Makes the motor's present position 0.

%!  motor_wait(+Motor) is det.
%!  motor_wait(+Motor, +Options) is det.
%
%   Waits until the motor has come to rest: after motor_turn/3, until it
%   has got under way (at least half the turn) and stopped; otherwise until
%   it stops turning. Options:
%
%     - timeout(+Seconds): give up after Seconds (default 30);
%     - poll(+Seconds): read the position every Seconds (default 0.02).
%       Two equal readings this far apart mean the motor is at rest, so
%       keep it long enough for a slow motor to turn a degree.
%
%   @error timeout_error(motor_wait(Port), Device) when the motor is still
%   turning, or held back before half its turn, after the time-out.

motor_wait(Motor) :-
    motor_wait(Motor, []).

motor_wait(Motor, Options) :-
    must_be(list, Options),
    option(timeout(Timeout), Options, 30),
    seconds(Timeout),
    option(poll(Poll), Options, 0.02),
    seconds(Poll),
    get_time(Now),
    Deadline is Now + Timeout,
    '$motor_progress'(Motor, Position, _),
    wait_at_rest(Motor, Position, Poll, Deadline).

wait_at_rest(Motor, Before, Poll, Deadline) :-
    sleep(Poll),
    '$motor_progress'(Motor, Position, Goal),
    (   Position =:= Before,
        reached(Goal, Position)
    ->  true
    ;   get_time(Now),
        Now > Deadline
    ->  Motor = motor(Brick, Port),
        brick_device(Brick, Device),
        throw(error(timeout_error(motor_wait(Port), Device), _))
    ;   wait_at_rest(Motor, Position, Poll, Deadline)
    ).

seconds(Seconds) :-
    must_be(number, Seconds),
    (   Seconds >= 0
    ->  true
    ;   domain_error(nonneg, Seconds)
    ).

reached(none, _).
reached(at_least(End), Position) :- Position >= End.
reached(at_most(End), Position) :- Position =< End.

%!  brick_sensor(+Brick, +Port, +Kind, -Sensor) is det.
%
%   Configures input Port (1 to 4) for a sensor of Kind, and Sensor is the
%   term sensor(Brick, Port). Kind is one of
%
%     | touch          | 0 or 1                                        |
%     | light          | reflected light (lamp on), 0 to 100            |
%     | light(ambient) | ambient light (lamp off), 0 to 100             |
%     | sound          | loudness in dB, 0 to 100 (also sound(db))      |
%     | sound(dba)     | loudness in dBA, 0 to 100                      |
%     | ultrasonic     | distance in cm, 0 to 254; 255: no echo         |
%     | color          | black, blue, green, yellow, red or white       |
%     | color(red)     | reflected red light, 0 to 100; also green, blue |
%     | color(ambient) | ambient light, lamp off                        |
%
%   Calling it again for the same port reconfigures the port.

%!  sensor_value(+Sensor, -Value) is det.
%
%   The sensor's reading, as the table at brick_sensor/4 says.
%
%   @error timeout_error(sensor_value, Device) when an ultrasonic sensor
%   gives no measurement within a second (is one plugged in at that port?).

%!  sensor_kind(+Sensor, -Kind) is det.
%
%   The kind the port was last configured for, `none` if never.


		 /*******************************
		 *           MESSAGES           *
		 *******************************/

:- multifile prolog:message//1.

prolog:message(error(Formal, _)) -->
    brick_message(Formal).

brick_message(existence_error(brick, Device)) -->
    { \+ blob(Device, brick) },
    !,
    [ 'No brick answers at ~q. '-[Device],
      'Is it switched on, and is that its device (ls /dev/rfcomm*, or usb)?'
    ].
brick_message(existence_error(brick, Brick)) -->
    [ 'The brick ~p is closed; open it again with brick_open/2.'-[Brick] ].
brick_message(existence_error(sensor, Sensor)) -->
    [ 'No sensor is configured at ~p; call brick_sensor/4 first.'-[Sensor] ].
brick_message(timeout_error(motor_wait(Port), Device)) -->
    !,
    [ 'Motor ~w of the brick at ~q did not come to rest in time. '-[Port, Device],
      'Is it held back, or still running from motor_run/2?'
    ].
brick_message(timeout_error(Operation, Device)) -->
    [ 'The brick at ~q stopped answering during ~w: '-[Device, Operation],
      'no reply within the time limit. Is it still switched on and in range?'
    ].
brick_message(brick_refused(Operation, Code, Name)) -->
    { format(atom(Hex), '0x~|~`0t~16r~2+', [Code]) },
    [ 'The brick refused ~w with status ~w (~w).'-[Operation, Hex, Name] ],
    refusal_hint(Name).
brick_message(permission_error(open, brick, Device)) -->
    [ 'You may not open ~q. Install the udev rule and log in again, '-[Device],
      'or add yourself to the group that owns the device.'
    ].
brick_message(resource_error(brick(Device))) -->
    [ 'Another program holds the brick at ~q; close it and try again.'-[Device] ].
brick_message(domain_error(Domain, Culprit)) -->
    domain_hint(Domain, Culprit).

refusal_hint(bus_error) -->
    !,
    [ ' Is a digital sensor plugged in at that port?' ].
refusal_hint(channel_busy) -->
    !,
    [ ' The port is not set up for a digital sensor: call brick_sensor/4 again ',
      '(did another program reconfigure it?).'
    ].
refusal_hint(_) --> [].

domain_hint(motor_port, Port) -->
    [ '~q is not a motor port: they are a, b and c, as printed on the brick.'-[Port] ].
domain_hint(sensor_port, Port) -->
    [ '~q is not a sensor port: they are 1 to 4, as printed on the brick.'-[Port] ].
domain_hint(motor_power, Power) -->
    [ 'Power ~q is out of range: it runs from -100 to 100 (negative: backwards).'-[Power] ].
domain_hint(motor_degrees, Degrees) -->
    [ '~q degrees: a turn is a positive number of degrees; '-[Degrees],
      'turn backwards with a negative power.'
    ].
domain_hint(tone_frequency, Hz) -->
    [ 'A tone of ~q Hz cannot be played: the brick plays 200 to 14000 Hz.'-[Hz] ].
domain_hint(tone_duration, Ms) -->
    [ 'A tone of ~q ms cannot be played: the duration runs from 0 to 65535 ms.'-[Ms] ].
domain_hint(brick_name, Name) -->
    [ '~q cannot be a brick name: it takes 1 to 15 characters, each below code 256.'-[Name] ].
domain_hint(brick_device, Device) -->
    [ '~q names no device: give a path such as /dev/rfcomm0, '-[Device],
      'a Bluetooth address, usb or bluetooth.'
    ].
domain_hint(sensor_kind, Kind) -->
    [ '~q is not a sensor kind: touch, light, light(ambient), sound, '-[Kind],
      'sound(dba), ultrasonic, color, color(red), color(green), color(blue) ',
      'or color(ambient).'
    ].
