% Virtual bricks for the Prolog tests: each is a bricksim process serving a pseudo-terminal,
% reached through a symbolic link, that writes every telegram it receives to a trace file.
%
% A brick is the term sim(Pid, Link, Trace). The tests read the trace back to state the bytes
% on the wire, and stop, continue or kill the process to make the brick fall silent or vanish.

:- module(brick_sim,
          [ sim_start/2,                % +Exe, -Sim
            sim_start/3,                % +Exe, -Sim, +Options
            sim_stop/1,                 % +Sim
            sim_link/2,                 % +Sim, -Link
            sim_signal/2,               % +Sim, +Signal
            sim_kill/1,                 % +Sim
            sim_commands/2,             % +Sim, -Hex
            wait_until/1,               % :Goal
            brick_rig/4,                % +Link, -Brick, -Motor, -Touch
            sim_run_tests/0
          ]).

:- use_module(library(process)).
:- use_module(library(plunit), [run_tests/0]).
:- use_module(library(brickmod)).
:- use_module(library(readutil)).
:- use_module(library(apply)).
:- use_module(library(lists)).
:- use_module(library(aggregate)).
:- use_module(library(option)).

:- meta_predicate wait_until(0).

% The world the bricks live in: an open floor, so that readings stay at rest.
:- dynamic world_file/1.
:- prolog_load_context(directory, Dir),
   directory_file_path(Dir, 'open.world', World),
   asserta(world_file(World)).

% brick_rig(+Link, -Brick, -Motor, -Touch): a brick connected at Link with a motor at output 1
% and a touch sensor at input 0, the set-up most tests start from.
brick_rig(Link, B, M, Touch) :-
    'Block'(B),
    connectBluetooth(B, Link),
    'Motor'(M),
    setMotor(B, M, 1),
    'Sensor'(Touch),
    setSensorType(Touch, 802),
    setSensor(B, Touch, 0).

% sim_start(+Exe, -Sim): starts bricksim and waits until its link exists. Its clock is
% stepped (10 ms a telegram), so every reading is repeatable.
sim_start(Exe, Sim) :-
    sim_start(Exe, Sim, []).

% sim_start(+Exe, -Sim, +Options): the same, with real_time(true) for a brick on the wall
% clock, as users run it (the world then moves on its own: readings are not repeatable), and
% link_model(Kind) for the pace of `usb` (bricksim's default) or `bluetooth`, world(File) for
% another world than the open floor, record(File) for bricksim's recording of the run.
sim_start(Exe, sim(Pid, Link, Trace), Options) :-
    tmp_file(brick, Base),
    atom_concat(Base, '.link', Link),
    atom_concat(Base, '.trace', Trace),
    world_file(Open),
    option(world(World), Options, Open),
    (   option(record(Record), Options)
    ->  Recording = ['--record', Record]
    ;   Recording = []
    ),
    (   option(real_time(true), Options)
    ->  Clock = []
    ;   Clock = ['--step', '10']
    ),
    option(link_model(Model), Options, usb),
    append([ ['--link', Link, '--trace', Trace, '--world', World, '--link-model', Model],
             Clock, Recording ], Args),
    process_create(Exe, Args, [process(Pid), stdout(null)]),
    (   wait_until(access_file(Link, exist))
    ->  true
    ;   sim_stop(sim(Pid, Link, Trace)),
        fail
    ).

% sim_stop(+Sim): ends the process, whether it runs, is stopped or is gone already, and
% removes its files.
sim_stop(sim(Pid, Link, Trace)) :-
    catch(process_kill(Pid, cont), _, true),
    catch(process_kill(Pid, term), _, true),
    catch(process_wait(Pid, _), _, true),
    catch(delete_file(Link), _, true),
    catch(delete_file(Trace), _, true).

sim_link(sim(_, Link, _), Link).

% sim_signal(+Sim, +Signal): stop makes the brick fall silent (it reads nothing more), cont
% wakes it up again. A stop takes effect only once every thread of bricksim has run into it,
% so it returns when all are stopped: until then a thread woken by a telegram could answer it.
sim_signal(sim(Pid, _, _), Signal) :-
    process_kill(Pid, Signal),
    (   Signal == stop
    ->  wait_until(stopped(Pid))
    ;   true
    ).

stopped(Pid) :-
    format(atom(Tasks), '/proc/~w/task', [Pid]),
    directory_files(Tasks, Entries),
    forall(( member(Task, Entries),
             atom_number(Task, _)
           ),
           (   format(atom(Stat), '~w/~w/stat', [Tasks, Task]),
               read_file_to_string(Stat, Line, []),
               aggregate_all(max(B), sub_string(Line, B, _, _, ")"), Close),
               State0 is Close + 2,
               sub_string(Line, State0, 1, _, State),
               State == "T"
           )).

% sim_kill(+Sim): the brick vanishes at once; its pseudo-terminal closes with the process.
sim_kill(sim(Pid, _, _)) :-
    process_kill(Pid, kill),
    process_wait(Pid, _).

% sim_commands(+Sim, -Hex): the hex of every command telegram the brick received, in order.
sim_commands(sim(_, _, Trace), Hex) :-
    (   exists_file(Trace)
    ->  read_file_to_string(Trace, Text, [encoding(iso_latin_1)]),
        split_string(Text, "\n", "", Lines),
        convlist(command_hex, Lines, Hex)
    ;   Hex = []
    ).

command_hex(Line, Hex) :-
    string_concat("> ", Rest, Line),
    sub_string(Rest, Before, _, _, "  "),
    !,
    sub_string(Rest, 0, Before, _, Hex).

% wait_until(:Goal): Goal succeeds within two seconds.
wait_until(Goal) :-
    between(1, 200, _),
    (   call(Goal)
    ->  !
    ;   sleep(0.01),
        fail
    ).
wait_until(Goal) :-
    format(user_error, "gave up waiting for ~q~n", [Goal]),
    fail.

% sim_run_tests: runs the loading file's tests, with the bricksim named first on the command
% line (kept as the global bricksim for sim_start/2), and halts with 0 when all pass, else 1.
sim_run_tests :-
    current_prolog_flag(argv, [Exe|_]),
    nb_setval(bricksim, Exe),
    (   run_tests
    ->  halt(0)
    ;   halt(1)
    ).
