:- module(brick,
          [ brick_open/2,               % +Device, -Brick
            brick_open/3,               % +Device, -Brick, +Options
            brick_close/1,              % +Brick
            with_brick/3,               % +Device, -Brick, :Goal
            with_brick/4,               % +Device, -Brick, :Goal, +Options
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
            motor_state/2,              % +Motor, -State
            sync_drive/4,               % +Motor1, +Motor2, +Power, +TurnRatio
            sync_turn/5,                % +Motor1, +Motor2, +Power, +TurnRatio, +Degrees
            brick_sensor/4,             % +Brick, +Port, +Kind, -Sensor
            sensor_value/2,             % +Sensor, -Value
            sensor_kind/2,              % +Sensor, -Kind
            sensor_values/2,            % +Sensor, -Values
            sensor_reset/1,             % +Sensor
            brick_read/2,               % +Brick, +Items
            i2c_read/4,                 % +Sensor, +Register, +Count, -Bytes
            i2c_read/5,                 % +Sensor, +Register, +Count, -Bytes, +Options
            i2c_write/3,                % +Sensor, +Register, +Bytes
            i2c_write/4,                % +Sensor, +Register, +Bytes, +Options
            device_open/4,              % +Brick, +Port, +Kind, -Device
            device_read/2,              % +Device, -Reading
            device_mode/3,              % +Device0, +Mode, -Device
            device_calibrate/2,         % +Device0, -Device
            brick_log/3,                % +Brick, +Channels, +Options
            keep_alive/2,               % +Brick, -SleepMilliseconds
            brick_info/2,               % +Brick, -Info
            brick_firmware/3,           % +Brick, -Firmware, -Protocol
            mailbox_send/3,             % +Brick, +Inbox, +Message
            mailbox_receive/3,          % +Brick, +Outbox, -Message
            mailbox_receive/4,          % +Brick, +Outbox, -Message, +Options
            program_start/2,            % +Brick, +Name
            program_stop/1,             % +Brick
            program_running/2,          % +Brick, -Name
            file_list/3,                % +Brick, +Pattern, -Files
            file_upload/2,              % +Brick, +Path
            file_upload/3,              % +Brick, +Path, +Name
            file_download/3,            % +Brick, +Name, +Path
            file_delete/2,              % +Brick, +Name
            sound_play/2,               % +Brick, +Name
            sound_play/3,               % +Brick, +Name, +Options
            sound_stop/1,               % +Brick
            iomap_modules/2,            % +Brick, -Modules
            iomap_read/5,               % +Brick, +Module, +Offset, +Count, -Bytes
            iomap_write/4,              % +Brick, +Module, +Offset, +Bytes
            screenshot/2,               % +Brick, -Rows
            screenshot/3,               % +Brick, -Rows, -Popup
            button_press/2,             % +Brick, +Button
            pilot_new/3,                % +Brick, +Options, -Pilot
            pilot_travel/2,             % +Pilot, +Cm
            pilot_travel/3,             % +Pilot, +Cm, +Options
            pilot_rotate/2,             % +Pilot, +Degrees
            pilot_rotate/3,             % +Pilot, +Degrees, +Options
            pilot_arc/3,                % +Pilot, +Radius, +Degrees
            pilot_arc/4,                % +Pilot, +Radius, +Degrees, +Options
            pilot_go_to/3,              % +Pilot, +X, +Y
            pilot_go_to/4,              % +Pilot, +X, +Y, +Options
            pilot_wait/1,               % +Pilot
            pilot_wait/2,               % +Pilot, +Options
            pilot_moving/1,             % +Pilot
            pilot_pose/2,               % +Pilot, -Pose
            pilot_stop/1,               % +Pilot
            brick_events/3,             % +Brick, +Watches, -Events
            wait_event/2,               % +Events, -Event
            wait_event/3,               % +Events, -Event, +Timeout
            brick_events_stop/1         % +Events
          ]).
:- autoload(library(option)).
:- autoload(library(error)).
:- autoload(library(lists)).
:- autoload(library(apply)).
:- autoload(library(yall)).
:- use_module(brick/messages, []).

/** <module> Drive an NXT brick: motors, sensors, speaker, files, programs and mailboxes

A brick is opened at a device and closed again; with_brick/3 does both
around a goal. Ports are named as printed on the brick: motors `a`, `b`,
`c`; sensors `1` to `4`. Sensor kinds are atoms such as `touch`,
`light(ambient)` or `ultrasonic`.

What it can do, by family:

  - the brick: battery/2, brick_name/2, set_brick_name/2, brick_info/2,
    brick_firmware/3, keep_alive/2, brick_status/2, brick_trace/2;
  - sound: tone/3,4, stop_tone/1, sound_play/2,3, sound_stop/1;
  - motors: motor_run/2, motor_turn/3, motor_stop/1,2, motor_wait/1,2,
    motor_position/2, motor_reset/1, motor_state/2, and two in step:
    sync_drive/4, sync_turn/5;
  - sensors: brick_sensor/4, sensor_value/2, sensor_values/2,
    sensor_reset/1, and digital sensors' registers: i2c_read/4,5,
    i2c_write/3,4; typed sensors: device_open/4, device_read/2,
    device_mode/3, device_calibrate/2; data
    logging: brick_log/3;
  - the brick's flash: file_list/3, file_upload/2,3, file_download/3,
    file_delete/2;
  - the program on the brick: program_start/2, program_stop/1,
    program_running/2, mailbox_send/3, mailbox_receive/3,4;
  - the firmware's modules: iomap_modules/2, iomap_read/5,
    iomap_write/4, and on them screenshot/2,3 and button_press/2;
  - a two-wheel robot in cm and degrees: pilot_new/3, pilot_travel/2,3,
    pilot_rotate/2,3, pilot_arc/3,4, pilot_go_to/3,4, pilot_pose/2, ...;
  - events: brick_events/3, wait_event/2,3, brick_events_stop/1.

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
  - error(domain_error(Domain, Culprit), _): a power, port, turn ratio,
    frequency, duration, degree count, name, file name, inbox, message,
    register or sensor kind out of range.

What the brick did is told as it is:

  - error(existence_error(brick, Device), _): no brick answers at Device,
    or the brick went away (switched off, unplugged, out of range);
  - error(existence_error(brick, Brick), _): Brick was closed;
  - error(timeout_error(Operation, Device), _): the brick stopped answering
    while doing Operation (a link reply, or an ultrasonic measurement);
  - error(brick_refused(Operation, Code, Name), _): the brick answered with
    status Code (for example 0xDD, `bus_error`; 0x87, `file_not_found`;
    0xEC, `no_active_program`);
  - error(permission_error(open, brick, Device), _): this user may not open
    the device; error(resource_error(brick(Device)), _): another program
    holds it.

Two Prolog threads may use one brick, one reading sensors while the other
drives: each predicate's exchanges with the brick are one unit, never
interleaved with another thread's (the whole rule: docs/threads.md).
*/

:- use_foreign_library(foreign(brick4pl)).

:- meta_predicate
    with_brick(+, -, 0),
    with_brick(+, -, 0, +).

%!  brick_open(+Device, -Brick) is det.
%!  brick_open(+Device, -Brick, +Options) is det.
%
%   Opens the brick at Device and makes sure it answers (by asking for its
%   name, within about a second). Device is a serial device such as
%   '/dev/rfcomm0', a Bluetooth address 'XX:XX:XX:XX:XX:XX', `usb` (the
%   first brick on USB) or `bluetooth` (the first bound RFCOMM device that
%   answers). Options:
%
%     - trace(+Bool): print every telegram to user_error (see brick_trace/2);
%     - replies(+Bool): with `true`, motor, tone, sound and sensor-mode
%       commands wait for the brick's reply, so that a refusal the brick
%       gives is raised. By default (`false`) they go without one: each
%       reply costs a round trip (about 60 ms over Bluetooth), and what the
%       brick would refuse (a port, a power, a frequency out of range) is
%       refused before sending;
%     - in_flight(+N): replies brick_read/2 awaits at once, 1 to 16
%       (default 2, what a brick over Bluetooth keeps; over USB it takes
%       more).
%
%   @error existence_error(brick, Device) when no brick answers there.

brick_open(Device, Brick, Options) :-
    must_be(list, Options),
    brick_open(Device, Brick),
    (   option(trace(Trace), Options)
    ->  brick_trace(Brick, Trace)
    ;   true
    ),
    (   option(replies(Replies), Options)
    ->  '$brick_replies'(Brick, Replies)
    ;   true
    ),
    (   option(in_flight(InFlight), Options)
    ->  '$brick_in_flight'(Brick, InFlight)
    ;   true
    ).

%!  brick_close(+Brick) is det.
%
%   Closes the link. Closing a closed brick does nothing. A brick that is
%   garbage collected is closed too, but close it yourself (or use
%   with_brick/3): the link stays open until then.

%!  with_brick(+Device, -Brick, :Goal) is semidet.
%!  with_brick(+Device, -Brick, :Goal, +Options) is semidet.
%
%   Opens Brick at Device, runs Goal once, and closes Brick however Goal
%   ends: success, failure or an exception (which is raised again).
%
%   When Goal fails or raises, the brick's three motors are switched off
%   (power 0, floating) and its tone or sound file stopped before the
%   brick is closed, so that a program that goes wrong midway does not
%   leave the robot driving. When Goal succeeds, motors and sound are left
%   as Goal left them: a program that wants them stopped at its end says
%   so (motor_stop/1). Options:
%
%     - keep_running(+Bool): with `true`, leave motors and sound as they
%       are whatever happens (default `false`);
%     - trace(+Bool): as for brick_open/3.
%
%   Stopping a brick that has gone or fallen silent gives up after its
%   first telegram; an error while stopping never hides Goal's own.

with_brick(Device, Brick, Goal) :-
    with_brick(Device, Brick, Goal, []).

with_brick(Device, Brick, Goal, Options) :-
    must_be(list, Options),
    option(keep_running(Keep), Options, false),
    must_be(boolean, Keep),
    setup_call_catcher_cleanup(brick_open(Device, Brick, Options),
                               once(Goal),
                               Catcher,
                               end_brick(Catcher, Keep, Brick)).

end_brick(Catcher, Keep, Brick) :-
    (   Keep == false,
        Catcher \== exit
    ->  catch('$brick_halt'(Brick), _, true)
    ;   true
    ),
    brick_close(Brick).

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

%!  brick_info(+Brick, -Info) is det.
%
%   What the brick tells about itself, a list of Name(Value): name(Name)
%   (an atom), address(Address) (its Bluetooth address as an atom
%   'XX:XX:XX:XX:XX:XX'), signal(Strength) (the link quality it reports)
%   and free_flash(Bytes) (room left for files).

brick_info(Brick, [ name(Name), address(Address), signal(Signal),
                    free_flash(Free) ]) :-
    '$brick_info'(Brick, Name, Address, Signal, Free).

%!  brick_firmware(+Brick, -Firmware, -Protocol) is det.
%
%   The versions of the brick's firmware and of the protocol it speaks,
%   each Major-Minor, for example `1-31` and `1-124`. Pairs compare in
%   standard order: `Firmware @>= 1-29`.

brick_firmware(Brick, FMajor-FMinor, PMajor-PMinor) :-
    '$brick_firmware'(Brick, FMajor, FMinor, PMajor, PMinor).

%!  keep_alive(+Brick, -SleepMilliseconds) is det.
%
%   Tells the brick it is in use, which starts its sleep timer afresh, and
%   gives the time after which it switches itself off when left alone (0:
%   it never does). A program that runs longer than that without other
%   commands can call it from a thread of its own, a third of that time
%   apart.

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
%   a positive Power and backwards for a negative one, and returns at once:
%   motor_wait/1 waits for the end. The brick ends the move by itself and
%   lets the motor coast on, the further the faster it ran. Degrees add to
%   the goal of the move before: after two turns of 360 the tacho count
%   reads about 720.

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
%   Waits until the motor's move is over, as the brick tells it in the
%   motor's run state: idle (the goal of motor_turn/3 or sync_turn/5
%   reached; the motor may still coast), or held at power 0 by
%   motor_stop/1. A motor left running
%   by motor_run/2 or sync_drive/4 is never done. Options:
%
%     - timeout(+Seconds): give up after Seconds (default 30);
%     - poll(+Seconds): ask for the state every Seconds (default 0.02).
%
%   Another thread may use the brick between two polls.
%
%   @error timeout_error(motor_wait(Port), Device) when the move is not over
%   after the time-out.

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
    wait_finished(Motor, Poll, Deadline).

wait_finished(Motor, Poll, Deadline) :-
    '$motor_state'(Motor, motor_wait, Finished, _, _, _, _, _, _, _, _, _),
    (   Finished == true
    ->  true
    ;   get_time(Now),
        Now > Deadline
    ->  Motor = motor(Brick, Port),
        brick_device(Brick, Device),
        throw(error(timeout_error(motor_wait(Port), Device), _))
    ;   sleep(Poll),
        wait_finished(Motor, Poll, Deadline)
    ).

seconds(Seconds) :-
    must_be(number, Seconds),
    (   Seconds >= 0
    ->  true
    ;   domain_error(nonneg, Seconds)
    ).

%!  motor_state(+Motor, -State) is det.
%
%   The motor's whole state as the brick keeps it, a list of Name(Value):
%
%     | power(P)             | -100 to 100                                  |
%     | mode(Flags)          | a sublist of `[on, brake, regulated]`        |
%     | regulation(R)        | `idle`, `speed` or `sync` (in step with another) |
%     | turn_ratio(T)        | -100 to 100, for a motor in step             |
%     | run_state(S)         | `idle`, `ramp_up`, `running` or `ramp_down`  |
%     | tacho_limit(L)       | degrees the move runs for, 0: no limit       |
%     | tacho_count(C)       | degrees counted across moves (limits add up) |
%     | block_tacho_count(C) | degrees since the last relative reset        |
%     | rotation_count(C)    | degrees since motor_reset/1 (motor_position/2) |
%
%   A value the brick sends that has no name here stays a number.

motor_state(Motor, State) :-
    '$motor_state'(Motor, motor_state, _, Power, Mode, Regulation, Ratio, Run,
                   Limit, Tacho, Block, Rotation),
    findall(Flag, ( mode_bit(Flag, Bit), Mode /\ Bit =\= 0 ), Flags),
    code_name(regulation, Regulation, RegulationName),
    code_name(run_state, Run, RunName),
    State = [ power(Power), mode(Flags), regulation(RegulationName),
              turn_ratio(Ratio), run_state(RunName), tacho_limit(Limit),
              tacho_count(Tacho), block_tacho_count(Block),
              rotation_count(Rotation) ].

mode_bit(on, 0x01).
mode_bit(brake, 0x02).
mode_bit(regulated, 0x04).

code_name(Field, Code, Name) :-
    (   code_name_(Field, Code, Name0)
    ->  Name = Name0
    ;   Name = Code
    ).

code_name_(regulation, 0, idle).
code_name_(regulation, 1, speed).
code_name_(regulation, 2, sync).
code_name_(run_state, 0x00, idle).
code_name_(run_state, 0x10, ramp_up).
code_name_(run_state, 0x20, running).
code_name_(run_state, 0x40, ramp_down).

%!  sync_drive(+Motor1, +Motor2, +Power, +TurnRatio) is det.
%!  sync_turn(+Motor1, +Motor2, +Power, +TurnRatio, +Degrees) is det.
%
%   Drives two motors of one brick in step, as the wheels of a robot: the
%   brick keeps their positions locked whatever their loads. TurnRatio 0
%   drives straight, 50 holds the inner wheel, 100 spins on the spot; a
%   positive ratio slows the motor on the higher port, a negative one the
%   other. sync_drive/4 runs until told otherwise (motor_stop/1 on each);
%   sync_turn/5 runs the leading motor Degrees and then both coast.
%   Both return at once: motor_wait/1 on either motor waits for the end.

:- include(brick/sensors).
:- include(brick/flash).
:- include(brick/devices).
:- include(brick/iomap).
:- include(brick/pilot).
:- include(brick/events).
