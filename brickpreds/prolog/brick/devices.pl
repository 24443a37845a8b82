% Part of library(brick), included by brick.pl: typed drivers for digital and analog sensors
% (HiTechnic's compass, accelerometer, IR seeker V2, colour sensor V2 and gyro; the brick
% maker's temperature sensor), built on i2c_read/5 and sensor_values/2; and brick_log/3.

%!  device_open(+Brick, +Port, +Kind, -Device) is det.
%
%   Sets input Port (1 to 4) up for a sensor of Kind and, for a digital
%   one, checks which device answers there before anything is read. Kind
%   is one of `compass`, `accelerometer`, `ir_seeker`, `color_v2`,
%   `temperature` (digital) or `gyro` (analog). device_read/2 reads it.
%
%   @error wrong_device(Port, Found, Kind) when another device answers,
%   its context saying which, e.g. "port 2 holds a HiTechnc Compass, not a
%   HiTechnic accelerometer"; Found is maker-type, or `temperature`.
%   @error brick_refused(i2c_read, 0xDD, bus_error) when nothing answers.

device_open(Brick, Port, Kind, Device) :-
    must_be(oneof([compass, accelerometer, ir_seeker, color_v2, temperature, gyro]),
            Kind),
    (   Kind == gyro
    ->  brick_sensor(Brick, Port, light(ambient), Sensor),
        Device = device(gyro, Sensor, 600)
    ;   brick_sensor(Brick, Port, ultrasonic, Sensor),
        sleep(0.1),                     % the sensor powers up
        Device = device(Kind, Sensor, _),
        device_check(Device)
    ).

%!  device_read(+Device, -Reading) is det.
%
%   One reading, by kind:
%
%     | compass       | degrees(D): 0 to 359, clockwise from north           |
%     | accelerometer | axes(X, Y, Z): counts, 200 a g, -512 to 511           |
%     | ir_seeker     | seeker(Zone, Strengths): zone 0 (none) or 1 to 9, left to right; five strengths 0 to 255 (modulated light) |
%     | color_v2      | color(Number, Red, Green, Blue, White): 0 to 17; 0 to 255 each; in passive or raw mode (device_mode/3) levels(Red, Green, Blue, White), 16 bits each |
%     | temperature   | celsius(C): -40 to 125                               |
%     | gyro          | rate(R): degrees a second, clockwise; its offset 600 |

device_read(device(compass, S, _), degrees(D)) :-
    device_bytes(S, compass, 0x42, 2, [Half, Odd]),
    D is 2*Half + Odd.
device_read(device(accelerometer, S, _), axes(X, Y, Z)) :-
    device_bytes(S, accelerometer, 0x42, 6, [UX, UY, UZ, LX, LY, LZ]),
    device_axis(UX, LX, X),
    device_axis(UY, LY, Y),
    device_axis(UZ, LZ, Z).
device_read(device(ir_seeker, S, _), seeker(Zone, Strengths)) :-
    device_bytes(S, ir_seeker, 0x49, 6, [Zone|Strengths]).
device_read(device(color_v2, S, Mode), levels(R, G, B, W)) :-
    nonvar(Mode),
    Mode \== active,
    !,
    device_bytes(S, color_v2, 0x42, 8, [R0, R1, G0, G1, B0, B1, W0, W1]),
    R is R1 << 8 \/ R0,
    G is G1 << 8 \/ G0,
    B is B1 << 8 \/ B0,
    W is W1 << 8 \/ W0.
device_read(device(color_v2, S, _), color(N, R, G, B, W)) :-
    device_bytes(S, color_v2, 0x42, 5, [N, R, G, B, W]).
device_read(device(temperature, S, _), celsius(C)) :-
    device_bytes(S, temperature, 0x00, 2, [High, Low]),
    Word is High << 8 \/ Low,
    (   Word >= 0x8000 -> Signed is Word - 0x10000 ; Signed = Word ),
    C is Signed / 256.
device_read(device(gyro, S, Offset), rate(R)) :-
    sensor_values(S, Values),
    memberchk(raw(Raw), Values),
    R is Raw - Offset.

%!  device_mode(+Device0, +Mode, -Device) is det.
%
%   Sets a device's mode and gives the device that reads in it: the
%   colour sensor V2 `active` (its LED on: color/5), `passive` (LED off,
%   light sources) or `raw`, the last two read as levels/4; the compass
%   `calibrate` (hard-iron calibration: turn it slowly through a full
%   circle or two) and `measure` (ends the calibration).
%
%   @error domain_error(device_mode, Mode) for a mode the device has not.

device_mode(device(Kind, S, Extra), Mode, Device) :-
    must_be(atom, Mode),
    (   device_mode_code(Kind, Mode, Code)
    ->  device_address(Kind, Address),
        i2c_write(S, 0x41, [Code], [address(Address)]),
        (   Kind == color_v2 -> Device = device(Kind, S, Mode) ; Device = device(Kind, S, Extra) )
    ;   domain_error(device_mode, Mode)
    ).

device_mode_code(color_v2, active, 0x00).
device_mode_code(color_v2, passive, 0x01).
device_mode_code(color_v2, raw, 0x03).
device_mode_code(compass, calibrate, 0x43).
device_mode_code(compass, measure, 0x00).

%!  device_calibrate(+Device0, -Device) is det.
%
%   For a gyro standing still: the mean of ten raw readings taken as its
%   rest from now on (about 600, differing from unit to unit and with the
%   temperature), so that device_read/2 of Device gives rate(0) at rest.
%
%   @error domain_error(gyro, Device0) for another device.

device_calibrate(device(gyro, S, _), device(gyro, S, Offset)) :-
    !,
    findall(Raw, ( between(1, 10, _),
                   sensor_values(S, Values),
                   memberchk(raw(Raw), Values) ),
            Raws),
    sum_list(Raws, Sum),
    Offset is (Sum + 5) // 10.
device_calibrate(Device, _) :-
    domain_error(gyro, Device).

device_bytes(Sensor, Kind, Register, Count, Bytes) :-
    device_address(Kind, Address),
    i2c_read(Sensor, Register, Count, Bytes, [address(Address)]).

device_axis(Upper, Lower, Value) :-
    (   Upper >= 128 -> Signed is Upper - 256 ; Signed = Upper ),
    Value is Signed*4 + (Lower /\ 3).

% Address, what it is called, its maker's names and its type.
device_address(ir_seeker, 0x10) :- !.
device_address(temperature, 0x98) :- !.
device_address(_, 0x02).

device_identity(compass, 'HiTechnic compass', 'Compass').
device_identity(accelerometer, 'HiTechnic accelerometer', 'Accel.').
device_identity(ir_seeker, 'HiTechnic IR seeker V2', 'NewIRDir').
device_identity(color_v2, 'HiTechnic colour sensor V2', 'ColorPD').
device_identity(temperature, 'LEGO temperature sensor', -).

device_check(device(Kind, Sensor, _)) :-
    device_identity(Kind, What, Type),
    device_address(Kind, Address),
    catch(device_found(Sensor, Address, Found), E, true),
    (   nonvar(E)
    ->  device_elsewhere(Sensor, Kind, What, E)
    ;   Type == -
    ->  true
    ;   Found = Maker-Found_type,
        downcase_atom(Maker, hitechnc),
        Found_type == Type
    ->  true
    ;   device_refuse(Sensor, Kind, What, Found)
    ).

% Maker-Type at an address with identification; the temperature sensor's configuration else.
device_found(Sensor, 0x98, temperature) :-
    !,
    i2c_read(Sensor, 0x01, 1, _, [address(0x98)]).
device_found(Sensor, Address, Maker-Type) :-
    i2c_read(Sensor, 0x08, 8, MakerBytes, [address(Address)]),
    i2c_read(Sensor, 0x10, 8, TypeBytes, [address(Address)]),
    device_text(MakerBytes, Maker),
    device_text(TypeBytes, Type).

device_text(Bytes, Text) :-
    (   append(Before, [0|_], Bytes) -> true ; Before = Bytes ),
    atom_codes(Padded, Before),
    normalize_space(atom(Text), Padded).

% Nothing at the driver's address: maybe another device at another one.
device_elsewhere(Sensor, Kind, What, Error) :-
    Error = error(brick_refused(_, 0xDD, _), _),
    member(Other, [0x02, 0x10, 0x98]),
    \+ device_address(Kind, Other),
    catch(device_found(Sensor, Other, Found), _, fail),
    Found \== ''-'',
    !,
    device_refuse(Sensor, Kind, What, Found).
device_elsewhere(_, _, _, Error) :-
    throw(Error).

device_refuse(sensor(_, Port), Kind, What, Found) :-
    (   Found == temperature
    ->  Named = 'LEGO temperature sensor'
    ;   Found = Maker-Type,
        format(atom(Named), '~w ~w', [Maker, Type])
    ),
    format(atom(Message), 'port ~w holds a ~w, not a ~w', [Port, Named, What]),
    throw(error(wrong_device(Port, Found, Kind), context(device_open/4, Message))).

%!  brick_log(+Brick, +Channels, +Options) is det.
%
%   Samples Channels at a steady pace and writes them as CSV: a header
%   (`time_ms` and the channels), then one row per sample, each with the
%   milliseconds since the start at which it was taken. A channel is a
%   sensor port 1 to 4 (its scaled value, as the port is set up), a motor
%   `a`, `b` or `c` (its rotation count) or a Device of device_open/4 (its
%   first number: degrees, X, zone, colour number, degrees C, rate).
%   Options:
%
%     - every(+Ms): milliseconds between rows, default 100;
%     - for(+Seconds): how long, default 10: Seconds*1000/Ms rows;
%     - csv(+File): write to File instead of current_output.
%
%   A row that comes late is taken at once; none is skipped.

brick_log(Brick, Channels, Options) :-
    must_be(list, Channels),
    option(every(Every), Options, 100),
    must_be(positive_integer, Every),
    option(for(Seconds), Options, 10),
    must_be(number, Seconds),
    Rows is round(Seconds*1000/Every),
    maplist(log_channel(Brick), Channels, Names, Readers),
    (   option(csv(File), Options)
    ->  setup_call_cleanup(open(File, write, Out),
                           log_rows(Out, Names, Readers, Every, Rows),
                           close(Out))
    ;   log_rows(current_output, Names, Readers, Every, Rows)
    ).

log_channel(Brick, Port, Name, log_input(sensor(Brick, Port))) :-
    integer(Port),
    !,
    must_be(between(1, 4), Port),
    format(atom(Name), 'port~w', [Port]).
log_channel(Brick, Letter, Name, log_motor(Motor)) :-
    atom(Letter),
    !,
    brick_motor(Brick, Letter, Motor),
    upcase_atom(Letter, Upper),
    atom_concat(motor, Upper, Name).
log_channel(_, Device, Name, log_device(Device)) :-
    Device = device(Kind, sensor(_, Port), _),
    !,
    format(atom(Name), 'port~w:~w', [Port, Kind]).
log_channel(_, Channel, _, _) :-
    domain_error(log_channel, Channel).

log_rows(Out, Names, Readers, Every, Rows) :-
    atomic_list_concat([time_ms|Names], ',', Header),
    format(Out, '~w~n', [Header]),
    get_time(Start),
    forall(between(1, Rows, Row),
           log_row(Out, Readers, Start, Every, Row)).

log_row(Out, Readers, Start, Every, Row) :-
    Due is Start + (Row-1)*Every/1000,
    get_time(Now),
    Wait is Due - Now,
    (   Wait > 0 -> sleep(Wait) ; true ),
    get_time(Taken),
    maplist(log_value, Readers, Values),
    Ms is round((Taken-Start)*1000),
    atomic_list_concat([Ms|Values], ',', Line),
    format(Out, '~w~n', [Line]),
    flush_output(Out).

log_value(log_input(Sensor), Value) :-
    sensor_values(Sensor, Values),
    memberchk(scaled(Value), Values).
log_value(log_motor(Motor), Value) :-
    motor_position(Motor, Value).
log_value(log_device(Device), Value) :-
    device_read(Device, Reading),
    arg(1, Reading, Value).
