:- module(brick_messages, []).

/** <module> What library(brick)'s errors say

The message/1 hooks for the error terms library(brick) raises: each reads as a sentence and,
where there is one, says the fix.
*/

:- multifile prolog:message//1.

prolog:message(error(resource_error(brick_flash), context(file_upload/3, Why))) -->
    { atom(Why) },
    [ 'The file does not fit in the brick\'s free flash (~w); nothing was sent.'-[Why] ].
prolog:message(error(Formal, _)) -->
    brick_message(Formal).
prolog:message(brick(closed_handles(Operation, Name, Closed))) -->
    [ '~w ~q: the brick had no handle free or held the file open; '-[Operation, Name],
      'closed ~d file handle(s) left open (by an interrupted transfer?) and tried again.'-[Closed]
    ].

brick_message(existence_error(brick, Device)) -->
    { \+ blob(Device, brick) },
    !,
    [ 'No brick answers at ~q. '-[Device],
      'Is it switched on, and is that its device (ls /dev/rfcomm*, or usb)?'
    ].
brick_message(existence_error(brick, Brick)) -->
    [ 'The brick ~p is closed; open it again with brick_open/2.'-[Brick] ].
brick_message(existence_error(sensor, Sensor)) -->
    { compound(Sensor) },
    [ 'No sensor is configured at ~p; call brick_sensor/4 first.'-[Sensor] ].
brick_message(timeout_error(motor_wait(Port), Device)) -->
    { atom(Device) },
    !,
    [ 'Motor ~w of the brick at ~q did not finish its move in time. '-[Port, Device],
      'Is it held back, or still running from motor_run/2 or sync_drive/4?'
    ].
brick_message(timeout_error(Operation, Device)) -->
    { atom(Device), brick_operation(Operation) },
    [ 'The brick at ~q stopped answering during ~w: '-[Device, Operation],
      'no reply within the time limit. Is it still switched on and in range?'
    ],
    timeout_hint(Operation).
brick_message(brick_refused(Operation, Code, Name)) -->
    { format(atom(Hex), '0x~|~`0t~16r~2+', [Code]) },
    [ 'The brick refused ~w with status ~w (~w).'-[Operation, Hex, Name] ],
    refusal_hint(Name, Operation).
brick_message(permission_error(open, brick, Device)) -->
    [ 'You may not open ~q. Install the udev rule and log in again, '-[Device],
      'or add yourself to the group that owns the device.'
    ].
brick_message(resource_error(brick(Device))) -->
    [ 'Another program holds the brick at ~q; close it and try again.'-[Device] ].
brick_message(domain_error(Domain, Culprit)) -->
    domain_hint(Domain, Culprit).

% Only library(brick)'s own operations: a time-out of SWI-Prolog's own (a read on a pipe, say)
% keeps its own message.
brick_operation(Operation) :-
    atom(Operation),
    module_property(brick, exports(Exports)),
    memberchk(Operation/_, Exports).

timeout_hint(Operation) -->
    { memberchk(Operation, [i2c_read, i2c_write]) },
    !,
    [ ' (The brick answered, but the digital sensor did not: is one plugged in?)' ].
timeout_hint(_) --> [].

refusal_hint(bus_error, _) -->
    !,
    [ ' Is a digital sensor plugged in at that port?' ].
refusal_hint(channel_busy, _) -->
    !,
    [ ' The port is not set up for a digital sensor: call brick_sensor/4 again ',
      '(did another program reconfigure it?).'
    ].
refusal_hint(file_not_found, _) -->
    !,
    [ ' The brick has no file of that name; file_list/3 lists the files it has.' ].
refusal_hint(request_failed, Operation) -->
    { memberchk(Operation, [program_start, sound_play]) },
    !,
    [ ' The brick has no file of that name; file_list/3 lists the files it has.' ].
refusal_hint(file_exists, _) -->
    !,
    [ ' A file of that name is on the brick already; delete it first with file_delete/2.' ].
refusal_hint(no_space, _) -->
    !,
    [ ' The brick\'s flash is full; make room with file_delete/2.' ].
refusal_hint(no_active_program, _) -->
    !,
    [ ' No program is running on the brick; start one with program_start/2.' ].
refusal_hint(_, _) --> [].

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
domain_hint(motor_pair, Motor) -->
    [ '~p cannot drive in step with the first motor: '-[Motor],
      'give two different ports of the same brick.'
    ].
domain_hint(turn_ratio, Ratio) -->
    [ 'Turn ratio ~q is out of range: it runs from -100 to 100 '-[Ratio],
      '(0 straight, 100 a spin on the spot).'
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
domain_hint(file_name, Name) -->
    [ '~q is not a file name the brick takes: it keeps at most 19 characters '-[Name],
      '(such as prog.rxe), and compares them in any case.'
    ].
domain_hint(file_pattern, Pattern) -->
    [ '~q is not a file pattern: at most 19 characters, such as *.rxe, prog.* or *.*.'-[Pattern] ].
domain_hint(inbox, Inbox) -->
    [ '~q is not an inbox: a brick program\'s inboxes are 0 to 9.'-[Inbox] ].
domain_hint(outbox, Outbox) -->
    [ '~q is not an outbox: a brick program\'s outboxes are 10 to 19.'-[Outbox] ].
domain_hint(mailbox_message, Message) -->
    [ '~q cannot be sent: a message is a text of at most 58 bytes without NUL, '-[Message],
      'or an integer of 32 bits.'
    ].
domain_hint(number_message, Message) -->
    [ 'The message ~q is not a number as brick programs send one (4 bytes); '-[Message],
      'receive it as text.'
    ].
domain_hint(regular_file, Path) -->
    [ '~q is not a regular file (a device, a FIFO or a directory): its size is not known '-[Path],
      'before sending; copy what you want into a file first.'
    ].
domain_hint(i2c_address, Address) -->
    [ '~q is not a bus address: 0 to 255 (the ultrasonic sensor\'s is 2).'-[Address] ].
domain_hint(i2c_register, Register) -->
    [ '~q is not a register: 0 to 255.'-[Register] ].
domain_hint(i2c_count, Count) -->
    [ 'A read of ~q bytes cannot be done: 1 to 16 bytes at a time.'-[Count] ].
domain_hint(i2c_data, Bytes) -->
    [ '~q cannot be written: at most 14 bytes, each 0 to 255.'-[Bytes] ].
