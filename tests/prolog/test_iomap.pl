% library(brick)'s IO-map predicates against the virtual brick: the telegrams they send (hex,
% type byte first), the screen as pixels, a button press reaching the brick, the error terms.
%
% Run: swipl -p library=PACK/prolog -p foreign=PACK/lib/ARCH -g main test_iomap.pl -- BRICKSIM

:- use_module(library(plunit)).
:- use_module(library(lists)).
:- use_module(library(apply)).
:- use_module(library(brick)).
:- use_module(brick_sim).

main :-
    sim_run_tests.

:- meta_predicate with_sim(-, -, 0).
with_sim(Sim, Brick, Goal) :-
    nb_getval(bricksim, Exe),
    setup_call_cleanup(sim_start(Exe, Sim),
                       ( sim_link(Sim, Link),
                         with_brick(Link, Brick, Goal)
                       ),
                       sim_stop(Sim)).

:- meta_predicate sent(+, 0, -).
sent(Sim, Goal, Hex) :-
    sim_commands(Sim, Before),
    call(Goal),
    sim_commands(Sim, After),
    append(Before, Hex, After).

:- begin_tests(iomap).

% Goal on brick B, and what it sends: by id one telegram, by name the module search first.
wire(iomap_read(B, 0x000C0001, 36, 1, [3]), B, ["01 94 01 00 0C 00 24 00 01 00"]).
wire(iomap_write(B, 0x00080001, 29, [2]), B, ["01 95 01 00 08 00 1D 00 01 00 02"]).
wire(iomap_read(B, ui, 4, 2, [0x28, 0x23]), B,
     ["01 90 75 69 2E 6D 6F 64 00 00 00 00 00 00 00 00 00 00 00 00 00 00", "01 91 00",
      "01 92 00", "01 94 01 00 0C 00 04 00 02 00"]).
wire(button_press(B, enter), B, ["01 95 01 00 0C 00 1C 00 01 00 02"]).

test(telegrams, [forall(wire(Goal, B, Hex))]) :-
    with_sim(Sim, B, sent(Sim, Goal, Got)),
    assertion(Got == Hex).

test(modules) :-
    with_sim(_, B, iomap_modules(B, Modules)),
    assertion(length(Modules, 11)),
    assertion(memberchk(module('Display.mod', 0x000A0001, 1720), Modules)).

% The name "NXT" centred on the top line: its "N" starts at column 41 with a full column.
test(screenshot) :-
    with_sim(_, B, screenshot(B, Rows, Popup)),
    assertion(Popup == false),
    assertion(length(Rows, 64)),
    assertion(maplist([Row]>>length(Row, 100), Rows)),
    findall(Y, ( between(0, 7, Y), nth0(Y, Rows, Row), nth0(41, Row, 1) ), Dark),
    assertion(Dark == [0, 1, 2, 3, 4, 5, 6]),
    nth0(0, Rows, Top),
    assertion(sum_list(Top, 9)).

% EXIT through the UI map ends the program the brick runs.
test(exit_ends_the_program) :-
    with_sim(_, B, ( program_start(B, 'echo.rxe'),
                     program_running(B, 'echo.rxe'),
                     button_press(B, exit),
                     \+ program_running(B, _) )).

refused(iomap_read(B, nothing, 0, 1, _), B, brick_refused(iomap_read, 0x90, module_not_found)).
refused(iomap_read(B, 0x00070001, 0, 1, _), B,
        brick_refused(iomap_read, 0x90, module_not_found)).
refused(iomap_read(B, ui, 39, 2, _), B, brick_refused(iomap_read, 0x91, out_of_boundary)).
refused(iomap_write(B, ui, 70000, [1]), B, domain_error(iomap_offset, 70000)).
refused(iomap_write(B, ui, 0, [256]), B, domain_error(iomap_data, [256])).
refused(button_press(B, middle), B, domain_error(brick_button, middle)).
refused(button_press(B, "exit"), B, type_error(atom, "exit")).

test(errors, [forall(refused(Goal, B, Formal))]) :-
    with_sim(_, B, catch(Goal, error(Got, _), true)),
    assertion(Got =@= Formal).

:- end_tests(iomap).
