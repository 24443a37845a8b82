% library(brick)'s typed sensors and brick_log/3 against bricksim in real time, at the pace of
% USB and of Bluetooth: each device reads what the world implies (devices.world), a driver
% refuses another device by name, and a log has its rows.
%
% Run: swipl -p library=PACK/prolog -p foreign=PACK/lib/ARCH -g main test_devices.pl -- BRICKSIM

:- use_module(library(plunit)).
:- use_module(library(lists)).
:- use_module(library(readutil)).
:- use_module(library(brick)).
:- use_module(brick_sim).

main :-
    sim_run_tests.

:- prolog_load_context(directory, Dir),
   directory_file_path(Dir, 'devices.world', World),
   nb_setval(devices_world, World).

:- meta_predicate with_devices(+, -, 0).

with_devices(Model, B, Goal) :-
    nb_getval(bricksim, Exe),
    nb_getval(devices_world, World),
    setup_call_cleanup(sim_start(Exe, Sim, [real_time(true), link_model(Model), world(World)]),
                       ( sim_link(Sim, Link), with_brick(Link, B, Goal) ),
                       sim_stop(Sim)).

:- begin_tests(brick_devices).

model(usb).
model(bluetooth).

% Port, kind, the reading the world implies.
reads(2, compass, degrees(60)).
reads(1, ir_seeker, seeker(6, [0, 0, 31, 31, 0])).
reads(3, temperature, celsius(19.5)).
reads(4, gyro, rate(5)).

test(readings, [forall(model(Model))]) :-
    with_devices(Model, B,
                 forall(reads(Port, Kind, Expected),
                        ( device_open(B, Port, Kind, D),
                          device_read(D, Reading),
                          assertion(Reading == Expected) ))).

% Port, kind asked for, what the refusal says.
refuses(2, accelerometer, 'port 2 holds a HiTechnc Compass, not a HiTechnic accelerometer').
refuses(1, compass, 'port 1 holds a HiTechnc NewIRDir, not a HiTechnic compass').
refuses(3, color_v2, 'port 3 holds a LEGO temperature sensor, not a HiTechnic colour sensor V2').

test(wrong_device_refused, [forall(model(Model))]) :-
    with_devices(Model, B,
                 forall(refuses(Port, Kind, Message),
                        ( catch(device_open(B, Port, Kind, _), E, true),
                          assertion(E = error(wrong_device(Port, _, Kind),
                                              context(device_open/4, Message))) ))).

test(log_rows, [forall(model(Model))]) :-
    tmp_file(log, File),
    with_devices(Model, B,
                 ( device_open(B, 2, compass, Compass),
                   brick_log(B, [1, b, Compass], [every(50), for(0.5), csv(File)]) )),
    read_file_to_string(File, Text, []),
    delete_file(File),
    split_string(Text, "\n", "", Lines0),
    exclude(==(""), Lines0, [Header|Rows]),
    assertion(Header == "time_ms,port1,motorB,port2:compass"),
    length(Rows, Count),
    assertion(Count == 10),
    forall(member(Row, Rows),
           ( split_string(Row, ",", "", [_, "0", "0", "60"]) -> true
           ; format(user_error, "row ~s~n", [Row]), fail )).

% The gyro at rest reads its offset (605 in the world) as rate(5) until calibrated, then 0; the
% compass's calibration is its mode register; a mode a device has not is refused.
test(modes_and_calibration) :-
    with_devices(usb, B,
                 ( device_open(B, 4, gyro, Gyro0),
                   device_calibrate(Gyro0, Gyro),
                   device_read(Gyro, Rate),
                   device_open(B, 2, compass, Compass),
                   Compass = device(compass, S, _),
                   device_mode(Compass, calibrate, Calibrating),
                   i2c_read(S, 0x41, 1, During, [address(0x02)]),
                   device_mode(Calibrating, measure, _),
                   i2c_read(S, 0x41, 1, After, [address(0x02)]),
                   catch(device_mode(Compass, passive, _), E, true) )),
    assertion(Rate == rate(0)),
    assertion(During-After == [0x43]-[0x00]),
    assertion(E = error(domain_error(device_mode, passive), _)).

% The colour sensor V2 in passive mode (its LED off) reads four 16-bit levels.
test(colour_passive_levels) :-
    tmp_file(world, World),
    setup_call_cleanup(open(World, write, Out),
                       format(Out, "arena 300 200~nrobot 50 100 0~ndevice 1 color-v2~n", []),
                       close(Out)),
    nb_getval(bricksim, Exe),
    setup_call_cleanup(sim_start(Exe, Sim, [real_time(true), link_model(usb), world(World)]),
                       ( sim_link(Sim, Link),
                         with_brick(Link, B, ( device_open(B, 1, color_v2, D0),
                                               device_mode(D0, passive, D),
                                               device_read(D, Levels) )),
                         sim_commands(Sim, Hex) ),
                       sim_stop(Sim)),
    delete_file(World),
    assertion(Levels = levels(_, _, _, _)),
    Levels = levels(R, G, Bl, W),
    assertion(maplist(between(0, 65535), [R, G, Bl, W])),
    assertion(memberchk("00 0F 00 03 00 02 41 01", Hex)).

:- end_tests(brick_devices).
