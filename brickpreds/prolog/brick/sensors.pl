% Part of library(brick), included by brick.pl: configuring a sensor port, its readings, and a
% digital sensor's registers. The module, its exports and the foreign predicates are in brick.pl.

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
%   The sensor's reading, as the table at brick_sensor/4 says. An
%   ultrasonic reading asks for the distance once and then waits while the
%   brick says its bus is busy: that is part of the reading, not an error.
%
%   @error timeout_error(sensor_value, Device) when an ultrasonic sensor
%   gives no measurement within a second (is one plugged in at that port?).
%   @error brick_refused(sensor_value, 0xE0, channel_busy) when the port is
%   no longer set up for the ultrasonic sensor (call brick_sensor/4 again).

%!  sensor_kind(+Sensor, -Kind) is det.
%
%   The kind the port was last configured for, `none` if never.

%!  sensor_values(+Sensor, -Values) is det.
%
%   Everything the brick reads at the sensor's port, configured or not, as
%   a list of Name(Value): valid(Bool) (`false` until a reading after the
%   last configuration is in), calibrated(Bool), raw(R) (0 to 1023),
%   normalized(N), scaled(S) (what sensor_value/2 reports for most kinds)
%   and calibrated_value(C).

sensor_values(Sensor, [ valid(Valid), calibrated(Calibrated), raw(Raw),
                        normalized(Normalized), scaled(Scaled),
                        calibrated_value(Value) ]) :-
    '$sensor_values'(Sensor, Valid, Calibrated, Raw, Normalized, Scaled, Value).

%!  brick_read(+Brick, +Items) is det.
%
%   Reads several ports at once: Items is a list of sensor(Port, Value)
%   (Value as sensor_value/2 gives it, the port configured by
%   brick_sensor/4), rotation(Port, Degrees) (as motor_position/2) and
%   run(Port, Power), which sets the motor running as motor_run/2 does,
%   sent after the readings in the same run. The
%   requests go back to back, at most two awaiting their replies (see the
%   in_flight option of brick_open/3), and each reply is matched to its
%   request: a control loop's readings cost a few round trips, not one
%   each.
%
%   @error existence_error(sensor, Item) when the port was not configured.

brick_read(Brick, Items) :-
    must_be(list, Items),
    '$brick_read'(Brick, Items, Values),
    read_values(Items, Values).

read_values([], []).
read_values([Item|Items], [Value|Values]) :-
    arg(2, Item, Value),
    read_values(Items, Values).

%!  sensor_reset(+Sensor) is det.
%
%   Sets the port's scaled value back to 0, so that a count kept there
%   starts again.

%!  i2c_read(+Sensor, +Register, +Count, -Bytes) is det.
%!  i2c_read(+Sensor, +Register, +Count, -Bytes, +Options) is det.
%!  i2c_write(+Sensor, +Register, +Bytes) is det.
%!  i2c_write(+Sensor, +Register, +Bytes, +Options) is det.
%
%   Reads Count (1 to 16) bytes, or writes the list Bytes (at most 14,
%   each 0 to 255), starting at Register (0 to 255) of the digital sensor
%   at the port. brick_sensor/4 with `ultrasonic` sets a port up for such
%   a sensor. Options:
%
%     - address(+Address): the sensor's bus address (default 2, the
%       ultrasonic sensor's and the usual one).
%
%   @error brick_refused(i2c_read, 0xDD, bus_error) when no sensor answers.
%   @error timeout_error(i2c_read, Device) when the sensor does not finish.

i2c_read(Sensor, Register, Count, Bytes) :-
    '$i2c_read'(Sensor, 2, Register, Count, Bytes).

i2c_read(Sensor, Register, Count, Bytes, Options) :-
    i2c_address(Options, Address),
    '$i2c_read'(Sensor, Address, Register, Count, Bytes).

i2c_write(Sensor, Register, Bytes) :-
    '$i2c_write'(Sensor, 2, Register, Bytes).

i2c_write(Sensor, Register, Bytes, Options) :-
    i2c_address(Options, Address),
    '$i2c_write'(Sensor, Address, Register, Bytes).

i2c_address(Options, Address) :-
    must_be(list, Options),
    option(address(Address), Options, 2).
