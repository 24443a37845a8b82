% A Prolog program that uses the installed pack only, as a user's would: it loads
% library(brickmod), connects to the brick at the path given and plays a tone; then it reads the
% battery through library(brick), and finds no brick at a device that does not exist.
%
% Run: swipl -p pack=PREFIX/share/swi-prolog/pack consumer.pl PREFIX DEVICE
%
% Besides, it checks that the module file and every library of ours that the process mapped
% come from PREFIX, so that a build tree left on the search paths cannot pass for the install.

:- use_module(library(brickmod)).
:- use_module(library(brick)).
:- use_module(library(readutil)).
:- use_module(library(lists)).

:- initialization(main, main).

main :-
    current_prolog_flag(argv, [Prefix, Device]),
    'Block'(B),
    connectBluetooth(B, Device),
    playTone(B, 440, 500),
    getBatteryLevel(Millivolts, B),
    getName(Name, B),
    disconnect(B),
    format("~w ~w~n", [Name, Millivolts]),
    must(Millivolts > 0, "the brick did not answer"),
    with_brick(Device, Brick, battery(Brick, Again)),
    must(Again > 0, "the brick did not answer library(brick)"),
    catch(with_brick('/dev/nxt-missing', _, true), error(Missing, _), true),
    must(Missing == existence_error(brick, '/dev/nxt-missing'), Missing),
    forall(member(Module, [brickmod, brick]),
           (   module_property(Module, file(ModuleFile)),
               must(under(Prefix, ModuleFile), ModuleFile)
           )),
    forall(member(Lib, ['libbrickpreds.so', 'libbrick4pl.so', 'libbrickctl.so', 'libcomm.so']),
           (   mapped(Lib, Path)
           ->  must(under(Prefix, Path), Path)
           ;   must(fail, Lib)
           )).

must(Goal, What) :-
    (   call(Goal)
    ->  true
    ;   format(user_error, "consumer.pl: ~w~n", [What]),
        halt(1)
    ).

under(Prefix, Path) :-
    atom_concat(Prefix, '/', Dir),
    sub_atom(Path, 0, _, _, Dir).

% The file that the process mapped for the library named Lib (its SONAME version may follow).
mapped(Lib, Path) :-
    read_file_to_string('/proc/self/maps', Maps, []),
    split_string(Maps, "\n", " ", Lines),
    member(Line, Lines),
    split_string(Line, " ", " ", Fields),
    last(Fields, PathString),
    atom_string(Path, PathString),
    file_base_name(Path, Base),
    sub_atom(Base, 0, _, _, Lib),
    !.
