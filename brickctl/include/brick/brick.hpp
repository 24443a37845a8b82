/// @file
/// @brief The whole modern C++ API: include this one header.
///
/// Start with brick::Brick. Errors are brick::Error (or a std::error_code, with the overloads
/// that take one); threads follow the one rule of docs/threads.md.
#ifndef BRICK_BRICK_ALL_HPP
#define BRICK_BRICK_ALL_HPP

#include "brick/Accelerometer.hpp"
#include "brick/Brick.hpp"
#include "brick/Button.hpp"
#include "brick/Buttons.hpp"
#include "brick/Colour.hpp"
#include "brick/ColourSensor.hpp"
#include "brick/Compass.hpp"
#include "brick/DeviceSetting.hpp"
#include "brick/Error.hpp"
#include "brick/Event.hpp"
#include "brick/EventWatcher.hpp"
#include "brick/FileInfo.hpp"
#include "brick/FileStore.hpp"
#include "brick/Gyro.hpp"
#include "brick/I2cSensor.hpp"
#include "brick/Input.hpp"
#include "brick/IoMap.hpp"
#include "brick/IrSeeker.hpp"
#include "brick/KeepAlive.hpp"
#include "brick/LightSensor.hpp"
#include "brick/Mailboxes.hpp"
#include "brick/Module.hpp"
#include "brick/Motor.hpp"
#include "brick/MotorPair.hpp"
#include "brick/Picture.hpp"
#include "brick/Pilot.hpp"
#include "brick/Port.hpp"
#include "brick/Pose.hpp"
#include "brick/Programs.hpp"
#include "brick/RgbColourSensor.hpp"
#include "brick/Sampler.hpp"
#include "brick/Screen.hpp"
#include "brick/SoundSensor.hpp"
#include "brick/TemperatureSensor.hpp"
#include "brick/TouchSensor.hpp"
#include "brick/UltrasonicSensor.hpp"

#endif
