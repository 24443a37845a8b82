% tutorial/beep.pl: one beep, and the battery.
:- use_module(library(brick)).
:- initialization(main, main).

main :-
    current_prolog_flag(argv, [Device|_]),
    with_brick(Device, Brick,
               ( tone(Brick, 440, 200),
                 battery(Brick, Millivolts),
                 format("beep; battery ~d mV~n", [Millivolts])
               )).
