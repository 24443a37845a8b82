% library(brick) against the virtual brick on a pseudo-terminal: the telegrams each predicate
% sends (hex, type byte first), every error term, with_brick/3's clean-up, and two threads
% sharing one brick.
%
% Run: swipl -p library=PACK/prolog -p foreign=PACK/lib/ARCH -g main test_brick.pl -- BRICKSIM

:- use_module(library(plunit)).
:- use_module(library(lists)).
:- use_module(library(apply)).
:- use_module(library(thread)).
:- use_module(library(memfile)).
:- use_module(library(brickmod), []).
:- use_module(library(brick)).
:- use_module(brick_sim).

main :-
    sim_run_tests.

% with_sim(-Sim, -Brick, :Goal): Goal with a fresh virtual brick, open as Brick; both go after.
:- meta_predicate with_sim(-, -, 0).
with_sim(Sim, Brick, Goal) :-
    nb_getval(bricksim, Exe),
    setup_call_cleanup(sim_start(Exe, Sim),
                       ( sim_link(Sim, Link),
                         with_brick(Link, Brick, Goal)
                       ),
                       sim_stop(Sim)).

% sent(+Sim, :Goal, -Hex): the telegrams Goal sent, and nothing else.
:- meta_predicate sent(+, 0, -).
sent(Sim, Goal, Hex) :-
    sim_commands(Sim, Before),
    call(Goal),
    sim_commands(Sim, After),
    append(Before, Hex, After).

% sent(+Sim, +Brick, :Goal, -Hex): the same for a Goal whose last telegrams may want no reply:
% a keep-alive after it is answered only once the brick has taken them.
:- meta_predicate sent(+, +, 0, -).
sent(Sim, Brick, Goal, Hex) :-
    keep_alive(Brick, _),
    sent(Sim, ( call(Goal), keep_alive(Brick, _) ), Hex0),
    append(Hex, ["00 0D"], Hex0).

% raises(:Goal, -Formal): Goal raised error(Formal, _).
:- meta_predicate raises(0, -).
raises(Goal, Formal) :-
    catch(Goal, error(Formal, _), true),
    nonvar(Formal).

% The longest a failing call may take: the link's reply time limit (1 s), with slack for a
% loaded machine.
limit(1.8).

elapsed(Goal, Seconds) :-
    get_time(T0),
    call(Goal),
    get_time(T1),
    Seconds is T1 - T0.

write_file(Path, Codes) :-
    setup_call_cleanup(open(Path, write, Out, [encoding(octet)]),
                       format(Out, '~s', [Codes]),
                       close(Out)).

:- begin_tests(brick_wire).

% Goal with the brick B, motor b M and touch sensor at 1 T configured, and what it sends.
wire(battery(B, 9000), B, ["00 0B"]).
wire(brick_name(B, 'NXT'), B, ["01 9B"]).
wire(set_brick_name(B, robo), B,
     ["01 98 72 6F 62 6F 00 00 00 00 00 00 00 00 00 00 00 00"]).
wire(tone(B, 440, 500), B, ["80 03 B8 01 F4 01"]).
wire(tone(B, 440, 0, [wait(true)]), B, ["80 03 B8 01 00 00"]).
wire(stop_tone(B), B, ["80 0C"]).
wire((brick_motor(B, a, M), motor_run(M, 75)), B, ["80 04 00 4B 05 01 00 20 00 00 00 00"]).
wire((brick_motor(B, c, M), motor_run(M, -100)), B, ["80 04 02 9C 05 01 00 20 00 00 00 00"]).
wire((brick_motor(B, b, M), motor_turn(M, 75, 360)), B, ["80 04 01 4B 05 01 00 20 68 01 00 00"]).
wire((brick_motor(B, b, M), motor_stop(M)), B, ["80 04 01 00 07 01 00 20 00 00 00 00"]).
wire((brick_motor(B, b, M), motor_stop(M, [brake(false)])), B,
     ["80 04 01 00 00 00 00 00 00 00 00 00"]).
wire((brick_motor(B, b, M), motor_position(M, 0)), B, ["00 06 01"]).
wire((brick_motor(B, b, M), motor_reset(M)), B, ["80 0A 01 00"]).
wire((brick_motor(B, a, M), motor_wait(M)), B, ["00 06 00"]).
wire((brick_motor(B, b, M), motor_state(M, [power(0), mode([]), regulation(idle), turn_ratio(0),
                                            run_state(idle), tacho_limit(0), tacho_count(0),
                                            block_tacho_count(0), rotation_count(0)])), B,
     ["00 06 01"]).
wire((brick_motor(B, b, M1), brick_motor(B, c, M2), sync_drive(M1, M2, 50, -25)), B,
     ["80 04 01 32 07 02 E7 20 00 00 00 00", "80 04 02 32 07 02 E7 20 00 00 00 00"]).
wire((brick_motor(B, c, M1), brick_motor(B, b, M2), sync_turn(M1, M2, -50, 100, 360)), B,
     ["80 04 02 CE 07 02 64 20 68 01 00 00", "80 04 01 CE 07 02 64 20 68 01 00 00"]).
wire(keep_alive(B, 600000), B, ["00 0D"]).
wire(brick_info(B, [name('NXT'), address('00:16:53:00:00:01'), signal(0), free_flash(_)]), B,
     ["01 9B"]).
wire(brick_firmware(B, 1-31, 1-124), B, ["01 88"]).
wire((brick_sensor(B, 1, touch, S), sensor_value(S, 0)), B, ["80 05 00 01 20", "00 07 00"]).
wire((brick_sensor(B, 2, light(ambient), S), sensor_kind(S, light(ambient))), B,
     ["80 05 01 06 80"]).
wire((brick_sensor(B, 3, sound(dba), S), brick_sensor(B, 3, sound, S)), B,
     ["80 05 02 08 80", "80 05 02 07 80"]).
% The distance request, then LSREAD: on this clock (10 ms a telegram) the bus is done by then.
wire((brick_sensor(B, 4, ultrasonic, S), sensor_value(S, 255)), B,
     ["80 05 03 0B 00", "00 0F 03 02 01 02 42", "00 10 03"]).
wire((brick_sensor(B, 1, color, S), sensor_value(S, white)), B, ["80 05 00 0D 80", "00 07 00"]).
% Read 10 ms after its mode was set, the reading is not valid yet (20 ms); the calibrated
% value is a copy of the normalized one, as the brick's firmware gives it.
wire((brick_sensor(B, 1, light, S),
      sensor_values(S, [valid(false), calibrated(false), raw(413), normalized(413), scaled(60),
                        calibrated_value(413)])), B,
     ["80 05 00 05 80", "00 07 00"]).
wire(sensor_reset(sensor(B, 3)), B, ["00 08 02"]).
wire((brick_sensor(B, 4, ultrasonic, S), i2c_read(S, 0x08, 4, `LEGO`)), B,
     ["80 05 03 0B 00", "00 0F 03 02 04 02 08", "00 10 03"]).
wire((brick_sensor(B, 4, ultrasonic, S), i2c_write(S, 0x41, [2], [address(0x02)])), B,
     ["80 05 03 0B 00", "00 0F 03 03 00 02 41 02", "00 0E 03"]).
wire(sound_stop(B), B, ["80 0C"]).
wire(\+ program_running(B, _), B, ["00 11"]).

test(telegrams, [forall(wire(Goal, B, Hex))]) :-
    with_sim(Sim, B, sent(Sim, B, Goal, Got)),
    assertion(Got == Hex).

% The same for the flash and the program: a name goes in a 20-byte field, name(N) below.
% echo.rxe (17 bytes) is in the flash of the test world.
flash(program_start(B, 'echo.rxe'), B, [["00 00", name('echo.rxe')]]).
flash((program_start(B, 'echo.rxe'), program_running(B, 'echo.rxe'), program_stop(B)), B,
      [["00 00", name('echo.rxe')], ["00 11"], ["00 01"]]).
flash((program_start(B, 'echo.rxe'), mailbox_send(B, 1, "hi"),
       mailbox_receive(B, 10, "echo:hi", [remove(false)]), mailbox_receive(B, 10, "echo:hi"),
       \+ mailbox_receive(B, 10, _)), B,
      [["00 00", name('echo.rxe')], ["00 09 01 03 68 69 00"], ["00 13 0A 00 00"],
       ["00 13 0A 00 01"], ["00 13 0A 00 01"]]).
flash((program_start(B, 'echo.rxe'), mailbox_send(B, 2, -2),
       mailbox_receive(B, 11, -2, [as(number)])), B,
      [["00 00", name('echo.rxe')], ["00 09 02 05 FE FF FF FF 00"], ["00 13 0B 00 01"]]).
% A search stays open after FIND NEXT's 0x87 until it is closed. Names compare in any case.
flash(file_list(B, '*.rxe', ['echo.rxe'-17]), B,
      [["01 86", name('*.rxe')], ["01 87 00"], ["01 84 00"]]).
flash(file_list(B, 'ECHO.*', ['echo.rxe'-17]), B,
      [["01 86", name('ECHO.*')], ["01 87 00"], ["01 84 00"]]).
flash(file_delete(B, 'Echo.RXE'), B, [["01 85", name('Echo.RXE')]]).
flash(file_delete(B, 'echo.rxe'), B, [["01 85", name('echo.rxe')]]).
flash(sound_play(B, 'echo.rxe', [loop(true)]), B, [["80 02 01", name('echo.rxe')]]).
flash(file_upload(B, Path, 'ab.txt'), B,
      [["01 9B"], ["01 81", name('ab.txt'), "02 00 00 00"], ["01 83 00 61 62"], ["01 84 00"]]) :-
    tmp_file(upload, Path),
    write_file(Path, `ab`).


test(flash_telegrams, [forall(flash(Goal, B, Parts))]) :-
    maplist(telegram_hex, Parts, Hex),
    with_sim(Sim, B, sent(Sim, B, Goal, Got)),
    assertion(Got == Hex).

telegram_hex(Parts, Hex) :-
    maplist(part_hex, Parts, Hexes),
    atomic_list_concat(Hexes, ' ', Atom),
    atom_string(Atom, Hex).

part_hex(name(Name), Hex) :-
    !,
    atom_codes(Name, Codes),
    length(Field, 20),
    append(Codes, Zeros, Field),
    maplist(=(0), Zeros),
    maplist([Byte, H]>>format(atom(H), '~|~`0t~16R~2+', [Byte]), Field, Hs),
    atomic_list_concat(Hs, ' ', Hex).
part_hex(Hex, Hex).

test(open_asks_for_the_name) :-
    with_sim(Sim, B, (sim_commands(Sim, Hex), brick_device(B, Device), brick_status(B, S0))),
    brick_status(B, S1),
    sim_link(Sim, Link),
    assertion(Hex == ["01 9B"]),
    assertion(Device == Link),
    assertion(S0-S1 == open-closed).

test(trace_on_and_off) :-
    with_sim(_, B, user_error_text(( brick_trace(B, true), battery(B, _),
                                     brick_trace(B, false), battery(B, _) ), Text)),
    split_string(Text, "\n", "", Lines),
    assertion(Lines == ["> 00 0B  GETBATTERYLEVEL",
                        "< 02 0B 00 28 23  reply GETBATTERYLEVEL SUCCESS millivolts=9000",
                        ""]).

user_error_text(Goal, Text) :-
    stream_property(Old, alias(user_error)),
    new_memory_file(File),
    open_memory_file(File, write, Out),
    setup_call_cleanup(set_stream(Out, alias(user_error)),
                       Goal,
                       ( set_stream(Old, alias(user_error)), close(Out) )),
    memory_file_to_string(File, Text).

:- end_tests(brick_wire).

:- begin_tests(brick_errors).

% Each goal is refused before anything is sent, with the error given.
refused(motor_run(motor(B, d), 50), B, domain_error(motor_port, d)).
refused(brick_motor(B, 1, _), B, domain_error(motor_port, 1)).
refused(brick_motor(B, "a", _), B, type_error(atom, "a")).
refused((brick_motor(B, a, M), motor_run(M, 200)), B, domain_error(motor_power, 200)).
refused((brick_motor(B, a, M), motor_run(M, -101)), B, domain_error(motor_power, -101)).
refused((brick_motor(B, a, M), motor_run(M, 1.5)), B, type_error(integer, 1.5)).
refused((brick_motor(B, a, M), motor_run(M, _)), B, instantiation_error).
refused((brick_motor(B, a, M), motor_turn(M, 50, 0)), B, domain_error(motor_degrees, 0)).
refused((brick_motor(B, a, M), motor_stop(M, [brake(yes)])), B, type_error(bool, yes)).
refused((brick_motor(B, a, M), motor_wait(M, [poll(-1)])), B, domain_error(nonneg, -1)).
refused((brick_motor(B, a, M), motor_wait(M, [timeout(soon)])), B, type_error(number, soon)).
refused(tone(B, 440, 100, nowait), B, type_error(list, nowait)).
refused(motor_run(foo, 50), _, type_error(motor, foo)).
refused(brick_sensor(B, 0, touch, _), B, domain_error(sensor_port, 0)).
refused(brick_sensor(B, 5, touch, _), B, domain_error(sensor_port, 5)).
refused(brick_sensor(B, b, touch, _), B, type_error(integer, b)).
refused(brick_sensor(B, 1, 802, _), B, domain_error(sensor_kind, 802)).
refused(brick_sensor(B, 1, light(lamp), _), B, domain_error(sensor_kind, light(lamp))).
refused(sensor_value(sensor(B, 2), _), B, existence_error(sensor, sensor(B, 2))).
refused(tone(B, 199, 100), B, domain_error(tone_frequency, 199)).
refused(tone(B, 14001, 100), B, domain_error(tone_frequency, 14001)).
refused(tone(B, 440, 65536), B, domain_error(tone_duration, 65536)).
refused(tone(B, 440, -1), B, domain_error(tone_duration, -1)).
refused(tone(B, 440, 100000000000000000000), B,
        domain_error(tone_duration, 100000000000000000000)).
refused(set_brick_name(B, ''), B, domain_error(brick_name, '')).
refused(set_brick_name(B, abcdefghijklmnop), B, domain_error(brick_name, abcdefghijklmnop)).
refused(set_brick_name(B, 'a\u0100'), B, domain_error(brick_name, 'a\u0100')).
refused(set_brick_name(B, f(x)), B, type_error(text, f(x))).
refused(battery(42, _), _, type_error(brick, 42)).
refused(battery(_, _), _, instantiation_error).
refused(brick_status(42, _), _, type_error(brick, 42)).
refused(sync_drive(motor(B, b), motor(B, b), 50, 0), B, domain_error(motor_pair, motor(B, b))).
refused(sync_drive(motor(B, b), motor(B, c), 50, 101), B, domain_error(turn_ratio, 101)).
refused(sync_turn(motor(B, b), motor(B, c), 50, 0, 0), B, domain_error(motor_degrees, 0)).
refused(i2c_read(sensor(B, 4), 0x42, 17, _), B, domain_error(i2c_count, 17)).
refused(i2c_read(sensor(B, 4), 256, 1, _), B, domain_error(i2c_register, 256)).
refused(i2c_read(sensor(B, 4), 0, 1, _, [address(300)]), B, domain_error(i2c_address, 300)).
refused(i2c_write(sensor(B, 4), 0x41, [256]), B, domain_error(i2c_data, [256])).
refused(i2c_write(sensor(B, 4), 0x41, [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14]), B,
        domain_error(i2c_data, [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14])).
refused(i2c_write(sensor(B, 4), 0x41, [a]), B, type_error(integer, a)).
refused(i2c_write(sensor(B, 4), 0x41, foo), B, type_error(list, foo)).
refused(mailbox_send(B, 10, hi), B, domain_error(inbox, 10)).
refused(mailbox_send(B, -1, hi), B, domain_error(inbox, -1)).
refused(mailbox_send(B, 0, Long), B, domain_error(mailbox_message, Long)) :-
    length(Codes, 59),
    maplist(=(0'x), Codes),
    atom_codes(Long, Codes).
refused(mailbox_send(B, 0, 'a\0\b'), B, domain_error(mailbox_message, 'a\0\b')).
refused(mailbox_send(B, 0, 4294967296), B, domain_error(mailbox_message, 4294967296)).
refused(mailbox_send(B, 0, f(x)), B, type_error(text, f(x))).
refused(mailbox_receive(B, 9, _), B, domain_error(outbox, 9)).
refused(mailbox_receive(B, 20, _), B, domain_error(outbox, 20)).
refused(mailbox_receive(B, 10, _, [as(json)]), B, domain_error(oneof([text, number]), json)).
refused(mailbox_receive(B, 10, _, [remove(1)]), B, type_error(bool, 1)).
refused(program_start(B, 'sixteen_chars_xx.rxe'), B,
        domain_error(file_name, 'sixteen_chars_xx.rxe')).
refused(program_start(B, 'abcdefghijklmnopq.rx'), B,
        domain_error(file_name, 'abcdefghijklmnopq.rx')).
refused(file_delete(B, 'abcdefghijklmnop.rxe'), B, domain_error(file_name, 'abcdefghijklmnop.rxe')).
refused(file_delete(B, 42), B, type_error(text, 42)).
refused(file_list(B, '*.abcdefghijklmnopqr', _), B,
        domain_error(file_pattern, '*.abcdefghijklmnopqr')).
refused(file_download(B, 'a\0\b.rso', _), B, domain_error(file_name, 'a\0\b.rso')).
refused(sound_play(B, 'caf\u00e9\u0100.rso'), B, domain_error(file_name, 'caf\u00e9\u0100.rso')).
refused(sound_play(B, 'x.rso', [loop(maybe)]), B, type_error(bool, maybe)).

test(nothing_sent, [forall(refused(Goal, B, Formal))]) :-
    with_sim(Sim, B, sent(Sim, raises(Goal, Got), Hex)),
    assertion(Got =@= Formal),
    assertion(Hex == []).

% The brick checks only a name's length: these go to it, and it answers.
taken(file_delete(B, 'a*.rxe'), B, brick_refused(file_delete, 0x87, file_not_found)).
taken(file_download(B, ' a.rso', _), B, brick_refused(file_download, 0x87, file_not_found)).
taken(file_download(B, noext, _), B, brick_refused(file_download, 0x87, file_not_found)).
taken(file_download(B, 'abcdefghijklmnop.tx', _), B,
      brick_refused(file_download, 0x87, file_not_found)).

test(sent_as_the_brick_takes_them, [forall(taken(Goal, B, Formal))]) :-
    with_sim(Sim, B, sent(Sim, raises(Goal, Got), Hex)),
    assertion(Got =@= Formal),
    assertion(Hex = [_]).

test(no_brick_at_device) :-
    elapsed(raises(with_brick('/dev/nxt-missing', B, battery(B, _)), Formal), Seconds),
    assertion(Formal == existence_error(brick, '/dev/nxt-missing')),
    limit(Limit),
    assertion(Seconds < Limit).

test(silent_device) :-
    nb_getval(bricksim, Exe),
    setup_call_cleanup(
        sim_start(Exe, Silent),
        ( sim_signal(Silent, stop),
          sim_link(Silent, Link),
          elapsed(raises(brick_open(Link, _), Formal), Seconds)
        ),
        sim_stop(Silent)),
    assertion(Formal == existence_error(brick, Link)),
    limit(Limit),
    assertion(Seconds < Limit).

test(brick_falls_silent) :-
    with_sim(Sim, B,
             ( sim_signal(Sim, stop),
               elapsed(raises(battery(B, _), Formal), Seconds),
               sim_signal(Sim, cont)
             )),
    sim_link(Sim, Link),
    assertion(Formal == timeout_error(battery, Link)),
    limit(Limit),
    assertion(Seconds < Limit).

test(brick_vanishes) :-
    with_sim(Sim, B,
             ( battery(B, _),
               sim_kill(Sim),
               raises(battery(B, _), First),
               raises((brick_motor(B, a, M), motor_run(M, 50)), Second)
             )),
    sim_link(Sim, Link),
    assertion(First == existence_error(brick, Link)),
    assertion(Second == existence_error(brick, Link)).

% Another program reconfigures the port under the ultrasonic sensor: the brick refuses the
% low-speed exchange, and says why.
test(refusal) :-
    with_sim(Sim, B,
             ( brick_sensor(B, 4, ultrasonic, S),
               sim_link(Sim, Link),
               brickmod:'Block'(Other),
               brickmod:connectBluetooth(Other, Link),
               brickmod:'Sensor'(Touch),
               brickmod:setSensorType(Touch, 802),
               brickmod:setSensor(Other, Touch, 3),
               brickmod:disconnect(Other),
               raises(sensor_value(S, _), Formal)
             )),
    assertion(Formal == brick_refused(sensor_value, 0xE0, channel_busy)).

% The brick's refusals, with their status names; and the answers that are no refusal.
refusal(file_download(B, 'none.rxe', '/nonexistent/x'), B,
        brick_refused(file_download, 0x87, file_not_found)).
refusal(file_delete(B, 'none.rxe'), B, brick_refused(file_delete, 0x87, file_not_found)).
refusal(program_start(B, 'none.rxe'), B, brick_refused(program_start, 0xC0, out_of_range)).
refusal(program_stop(B), B, brick_refused(program_stop, 0xEC, no_active_program)).
refusal(mailbox_send(B, 1, hi), B, brick_refused(mailbox_send, 0xEC, no_active_program)).
refusal(mailbox_receive(B, 10, _), B, brick_refused(mailbox_receive, 0xEC, no_active_program)).
% Sound, tone and motor commands hear the brick's refusal only when replies are asked for.
refusal(( brick:'$brick_replies'(B, true), sound_play(B, 'none.rso') ), B,
        brick_refused(sound_play, 0xC0, out_of_range)).
refusal(file_upload(B, Path, 'echo.rxe'), B, brick_refused(file_upload, 0x8F, file_exists)) :-
    tmp_file(upload, Path),
    write_file(Path, `x`).
refusal(i2c_read(sensor(B, 1), 0, 1, _), B, brick_refused(i2c_read, 0xE0, channel_busy)).

test(refusals, [forall(refusal(Goal, B, Formal))]) :-
    with_sim(_, B, raises(Goal, Got)),
    assertion(Got == Formal).

% brick_read/2: one run, requests back to back, each value its own item's.
test(brick_read) :-
    with_sim(Sim, B, ( brick_sensor(B, 1, touch, _),
                       brick_sensor(B, 4, ultrasonic, _),
                       brick_motor(B, b, M), motor_reset(M),
                       sent(Sim, B, brick_read(B, [sensor(1, T), rotation(b, R), sensor(4, D),
                                                   rotation(c, _)]), Hex) )),
    assertion(T == 0),
    assertion(R == 0),
    assertion(integer(D)),
    assertion(Hex == ["00 0F 03 02 01 02 42", "00 07 00", "00 06 01", "00 06 02", "00 10 03"]).

test(brick_read_unconfigured, [error(existence_error(sensor, sensor(2, _)))]) :-
    with_sim(_, B, brick_read(B, [sensor(2, _)])).

test(brick_read_item, [error(domain_error(brick_read_item, speed(b, _)))]) :-
    with_sim(_, B, brick_read(B, [speed(b, _)])).

% With replies asked for, the same commands go as 00, answered.
test(replies_option) :-
    nb_getval(bricksim, Exe),
    setup_call_cleanup(sim_start(Exe, Sim),
                       ( sim_link(Sim, Link),
                         with_brick(Link, B, sent(Sim, ( brick_motor(B, a, M), motor_run(M, 75),
                                                         tone(B, 440, 500) ),
                                                  Hex),
                                    [replies(true)])
                       ),
                       sim_stop(Sim)),
    assertion(Hex == ["00 04 00 4B 05 01 00 20 00 00 00 00", "00 03 B8 01 F4 01"]).

test(no_match_no_program_no_message) :-
    with_sim(_, B, ( file_list(B, '*.rso', Files),
                     ( program_running(B, _) -> Running = true ; Running = false ),
                     program_start(B, 'echo.rxe'),
                     ( mailbox_receive(B, 10, _) -> Got = true ; Got = false ) )),
    assertion(Files-Running-Got == []-false-false).

% Every byte value survives the way up and back.
test(upload_download_delete) :-
    numlist(0, 255, Bytes),
    tmp_file(up, Up),
    tmp_file(down, Down),
    write_file(Up, Bytes),
    with_sim(_, B, ( file_upload(B, Up, 'all.bin'),
                     file_list(B, '*.bin', Listed),
                     file_download(B, 'all.bin', Down),
                     file_delete(B, 'all.bin'),
                     file_list(B, '*.bin', After) )),
    read_file_to_codes(Down, Back, [encoding(octet)]),
    delete_file(Up),
    delete_file(Down),
    assertion(Listed-After == ['all.bin'-256]-[]),
    assertion(Back == Bytes).

% motor_wait/1 asks for the run state, nothing else, until the move is over; a motor told to
% run on is never over.
test(motor_wait_on_run_state) :-
    with_sim(Sim, B,
             ( brick_motor(B, b, M),
               brick_motor(B, c, M2),
               motor_turn(M, 75, 360),
               sent(Sim, B, motor_wait(M), Polls),
               motor_state(M, State),
               sync_turn(M, M2, 50, 0, 90),
               motor_wait(M2),
               motor_state(M2, State2),
               motor_run(M, 50),
               raises(motor_wait(M, [timeout(0.1)]), Formal)
             )),
    sim_link(Sim, Link),
    assertion(forall(member(P, Polls), P == "00 06 01")),
    assertion(memberchk(run_state(idle), State)),
    memberchk(tacho_count(Tacho), State),       % the goal reached, the motor coasting on
    assertion(Tacho >= 360),
    assertion(subsumes_term([_, _, regulation(sync), _, run_state(idle), tacho_limit(90)|_],
                            State2)),
    assertion(Formal == timeout_error(motor_wait(b), Link)).

test(with_brick_closes_on_exception) :-
    nb_getval(bricksim, Exe),
    setup_call_cleanup(sim_start(Exe, Sim), closes(Sim), sim_stop(Sim)).

closes(Sim) :-
    sim_link(Sim, Link),
    catch(with_brick(Link, B0, (nb_setval(kept, B0), throw(oops))), oops, true),
    nb_getval(kept, B),
    assertion(raises(battery(B, _), existence_error(brick, B))),
    assertion(\+ with_brick(Link, B1, (nb_setval(kept, B1), fail))),
    nb_getval(kept, B2),
    assertion(raises(battery(B2, _), existence_error(brick, B2))),
    brick_close(B2),
    nb_delete(kept).

% with_brick/4 around a goal that starts motor b and a tone, then ends as it may: when it raises
% or fails, all three motors go off and the sound stops before the brick is closed; when it
% succeeds, or with keep_running(true), they run on. A second connection then reads motor b.
run_b(B) :-
    brick_motor(B, b, M),
    motor_run(M, 75),
    tone(B, 440, 500).

ends((run_b(B), _ is 1/0), B, [], stopped).
ends((run_b(B), fail), B, [], stopped).
ends((run_b(B), _ is 1/0), B, [keep_running(true)], running).
ends(run_b(B), B, [], running).

test(with_brick_stops_unless_the_goal_succeeds, [forall(ends(Goal, B, Options, End))]) :-
    nb_getval(bricksim, Exe),
    setup_call_cleanup(sim_start(Exe, Sim),
                       ( sim_link(Sim, Link),
                         % The state is asked for after the brick has taken all before.
                         sent(Sim, ( ignore(catch(with_brick(Link, B, Goal, Options), _, true)),
                                     with_brick(Link, B2, ( brick_motor(B2, b, M2),
                                                            motor_state(M2, State) ))
                                   ),
                              Hex0),
                         append(Hex, ["01 9B", "00 06 01"], Hex0)
                       ),
                       sim_stop(Sim)),
    Started = ["01 9B", "80 04 01 4B 05 01 00 20 00 00 00 00", "80 03 B8 01 F4 01"],
    (   End == stopped
    ->  append(Started, ["00 04 FF 00 00 00 00 00 00 00 00 00", "00 0C"], Expected),
        Power = 0
    ;   % Closing makes sure the brick took the commands sent without a reply.
        append(Started, ["00 0D"], Expected),
        Power = 75
    ),
    assertion(Hex == Expected),
    assertion(memberchk(power(Power), State)).

test(with_brick_options, [error(type_error(boolean, maybe))]) :-
    with_brick('/dev/nxt-missing', _, true, [keep_running(maybe)]).

% Each error reads as a sentence.
message(existence_error(brick, '/dev/x'), "No brick answers at '/dev/x'").
message(timeout_error(battery, '/dev/x'), "stopped answering during battery").
message(brick_refused(sensor_value, 0xDD, bus_error), "status 0xdd (bus_error)").
message(brick_refused(sensor_value, 0xE0, channel_busy), "call brick_sensor/4 again").
message(domain_error(motor_port, 1), "they are a, b and c, as printed on the brick").
message(domain_error(sensor_port, 0), "they are 1 to 4").
message(domain_error(motor_power, 200), "from -100 to 100").
message(domain_error(inbox, 10), "inboxes are 0 to 9").
message(domain_error(file_name, 'abcdefghijklmnop.rxe'), "at most 19 characters").
message(brick_refused(file_download, 0x87, file_not_found), "has no file of that name").
message(brick_refused(program_stop, 0xEC, no_active_program), "start one with program_start/2").
message(brick_refused(file_upload, 0x8F, file_exists), "delete it first").

% SWI-Prolog's own errors keep their own messages, even where they share a shape with ours.
test(messages_of_others, [forall(member(Formal, [timeout_error(read, '<stream>(0x1)'),
                                                 timeout_error(read, user_input),
                                                 existence_error(sensor, foo),
                                                 domain_error(encoding, foo)]))]) :-
    assertion(\+ phrase(prolog:message(error(Formal, _)), _)).

test(messages, [forall(message(Formal, Text))]) :-
    message_to_codes(error(Formal, _), Codes),
    string_codes(String, Codes),
    assertion(sub_string(String, _, _, _, Text)).

message_to_codes(Term, Codes) :-
    message_to_codes(Term, [], Codes0),
    !,
    Codes = Codes0.
message_to_codes(Term, _, Codes) :-
    phrase(prolog:message(Term), Lines),
    format(codes(Codes), '~@', [print_message_lines(current_output, '', Lines)]).

:- end_tests(brick_errors).

:- begin_tests(brick_threads).

% One thread reads the battery (which drains slowly on the stepped clock) while another asks for
% the name: 10,000 calls, each of which would fail or read wrong if it got the other's reply.
test(no_mixed_replies) :-
    with_sim(_, B,
             concurrent(2, [ check_calls(5000, battery(B, MV), between(8000, 9000, MV)),
                             check_calls(5000, brick_name(B, Name), Name == 'NXT')
                           ], [])).

check_calls(0, _, _) :- !.
check_calls(N, Goal, Check) :-
    copy_term(Goal-Check, G-C),
    call(G),
    call(C),
    N1 is N - 1,
    check_calls(N1, Goal, Check).

:- end_tests(brick_threads).
