% library(brick) against bricksim in real time, as the README and the tutorial run it: at the
% pace of USB (100 readings) and of Bluetooth (20, about 60 ms a round trip), every reading of
% every sensor, and every register read of the ultrasonic sensor (i2c_read/4), is valid and none
% raises. The ultrasonic sensor's bus is busy for a few ms of
% each reading: the brick's "busy" and "pending" answers belong to the reading.
%
% Run: swipl -p library=PACK/prolog -p foreign=PACK/lib/ARCH -g main test_realtime.pl -- BRICKSIM

:- use_module(library(plunit)).
:- use_module(library(aggregate)).
:- use_module(library(lists)).
:- use_module(library(brickmod), []).
:- use_module(library(brick)).
:- use_module(brick_sim).

main :-
    sim_run_tests.

:- begin_tests(brick_real_time).

pace(usb, 100).
pace(bluetooth, 20).

test(every_reading_valid, [forall(pace(Model, Readings))]) :-
    nb_getval(bricksim, Exe),
    setup_call_cleanup(sim_start(Exe, Sim, [real_time(true), link_model(Model)]),
                       ( sim_link(Sim, Link),
                         with_brick(Link, B, readings(B, Readings, Good))
                       ),
                       sim_stop(Sim)),
    format(user_error, "~w: ~d of ~d ultrasonic readings valid~n", [Model, Good, Readings]),
    assertion(Good == Readings).

readings(B, Readings, Good) :-
    brick_sensor(B, 4, ultrasonic, Sonar),
    brick_sensor(B, 1, touch, Touch),
    brick_sensor(B, 3, light, Light),
    aggregate_all(count, ( between(1, Readings, _), valid(Sonar, Touch, Light) ), Good).

valid(Sonar, Touch, Light) :-
    catch(( sensor_value(Sonar, Cm),
            integer(Cm), between(0, 255, Cm),
            sensor_value(Touch, Pressed),
            memberchk(Pressed, [0, 1]),
            sensor_value(Light, Percent),
            integer(Percent), between(0, 100, Percent),
            i2c_read(Sonar, 0x08, 4, Maker),
            Maker == `LEGO`
          ),
          Error,
          ( print_message(error, Error), fail )).

:- end_tests(brick_real_time).
