:- module(brickmod,
          [ 'Block'/1,
            'Motor'/1,
            'Sensor'/1,
            connect/1,
            connectBluetooth/1,
            connectBluetooth/2,
            disconnect/1,
            playTone/3,
            stopTone/1,
            getBatteryLevel/2,
            getName/2,
            setName/2,
            setSensor/3,
            remSensor/2,
            getSensor/3,
            setMotor/3,
            remMotor/2,
            getMotor/3,
            getRotationCount/2,
            resetRotationCount/1,
            moveForward/2,
            moveForwardDegrees/3,
            moveBackward/2,
            moveBackwardDegrees/3,
            stop/1,
            setBrake/2,
            setSensorType/2,
            getValue/2,
            disableSonar/1,
            enableSonar/1,
            enableLight/1,
            disableLight/1,
            changeColor/2,
            getSensorType/2
          ]).

/** <module> Drive an NXT brick: motors, sensors, speaker, battery and name

The predicates are defined by the foreign library brickpreds, which registers
them in this module while it loads. Bricks, motors and sensors are handles:
plain integers that stand for objects living until the process ends.

Every predicate is deterministic. An argument that does not fit its kind
raises error(type_error(Type, Culprit), _) before anything is sent: Type is
`pointer` for a Brick, Motor or Sensor that is not a live handle of that class
(0, any other integer, a handle of another class, or not an integer at all),
`integer` for a number outside the signed 32-bit range or a non-integer, and
`text` for a text that has a character above 255 or a NUL. A C++ failure
inside the library becomes error(resource_error(memory), _) or
error(system_error(cpp_exception(Type, Message)), _).

Commands succeed whatever the brick answered; only a result argument that
does not unify makes a predicate fail.
*/

:- use_foreign_library(foreign(brickpreds)).

%!  'Block'(?Brick) is semidet.
%
%   Creates a brick object, its link not open. Fails (and frees the object)
%   when Brick is bound to anything but the new handle.

%!  'Motor'(?Motor) is semidet.
%
%   Creates a motor object: no port, brake off, no link until setMotor/3.

%!  'Sensor'(?Sensor) is semidet.
%
%   Creates a sensor object: no port, kind -1, no link until setSensor/3.

%!  connect(+Brick) is det.
%
%   Opens the link to the first brick on USB. Succeeds whether or not one
%   answered.

%!  connectBluetooth(+Brick) is det.
%
%   Opens the first bound RFCOMM device (/dev/rfcomm0 to /dev/rfcomm9) that
%   answers. Succeeds whether or not one did.

%!  connectBluetooth(+Brick, +Name) is det.
%
%   Opens the brick that Name designates: a Bluetooth address
%   'XX:XX:XX:XX:XX:XX' or the path of a serial device or pseudo-terminal.
%   Name is any text (atom, string, code or character list, number).

%!  disconnect(+Brick) is det.
%
%   Closes the brick's link.

%!  playTone(+Brick, +Frequency, +Duration) is det.
%
%   Plays Frequency hertz for Duration milliseconds.

%!  stopTone(+Brick) is det.
%
%   Stops the tone or sound the brick is playing.

%!  getBatteryLevel(?Millivolts, +Brick) is semidet.
%
%   Reads the battery voltage.

%!  getName(?Name, +Brick) is semidet.
%
%   Reads the brick's name as an atom, the same text setName/2 accepts.

%!  setName(+Name, +Brick) is det.
%
%   Renames the brick; it keeps at most 15 characters. Name is any text.

%!  setSensor(+Brick, +Sensor, +Port) is det.
%
%   Attaches Sensor at input Port (0 to 3) and configures the port for its
%   kind. Does nothing when the sensor has no kind yet or the port is taken.

%!  remSensor(+Brick, +Port) is det.
%
%   Detaches the sensor at Port, if any.

%!  getSensor(?Sensor, +Brick, +Port) is semidet.
%
%   Sensor is the sensor attached at Port, or 0 when there is none.

%!  setMotor(+Brick, +Motor, +Port) is det.
%
%   Attaches Motor at output Port (0 to 2 for A to C), unless the port is
%   taken.

%!  remMotor(+Brick, +Port) is det.
%
%   Detaches the motor at Port, if any.

%!  getMotor(?Motor, +Brick, +Port) is semidet.
%
%   Motor is the motor attached at Port, or 0 when there is none.

%!  getRotationCount(?Count, +Motor) is semidet.
%
%   Degrees turned since the last reset, negative backwards.

%!  resetRotationCount(+Motor) is det.
%
%   Resets the count that getRotationCount/2 reads.

%!  moveForward(+Motor, +Power) is det.
%
%   Runs the motor at Power (-100 to 100) without a limit.

%!  moveForwardDegrees(+Motor, +Power, +Degrees) is det.
%
%   Runs the motor at Power until it has turned Degrees (0: no limit).

%!  moveBackward(+Motor, +Power) is det.
%
%   Runs the motor backwards at Power without a limit.

%!  moveBackwardDegrees(+Motor, +Power, +Degrees) is det.
%
%   Runs the motor backwards at Power until it has turned Degrees.

%!  stop(+Motor) is det.
%
%   Brakes the motor, or lets it float, by its brake flag.

%!  setBrake(+Motor, +Flag) is det.
%
%   Sets the brake flag (0 false, any other integer true) and stops the motor
%   accordingly.

%!  setSensorType(+Sensor, +Kind) is det.
%
%   Chooses the sensor's kind (800 to 810); on an attached sensor also
%   configures its port. A kind outside the table changes nothing.

%!  getValue(?Value, +Sensor) is semidet.
%
%   Reads the sensor as its kind defines; -1 when it has no kind or is not
%   attached.

%!  disableSonar(+Sensor) is det.
%
%   Switches an attached ultrasonic sensor off.

%!  enableSonar(+Sensor) is det.
%
%   Switches an attached ultrasonic sensor back on.

%!  enableLight(+Sensor) is det.
%
%   Switches a light sensor's lamp on (kind 801 becomes 800).

%!  disableLight(+Sensor) is det.
%
%   Switches a light sensor's lamp off (kind 800 becomes 801).

%!  changeColor(+Sensor, +Kind) is det.
%
%   Switches a colour sensor (kinds 806 to 810) to another colour kind.

%!  getSensorType(?Kind, +Sensor) is semidet.
%
%   Kind is the sensor's kind code, -1 when none is chosen.
