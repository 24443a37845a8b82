% What the Prolog benchmarks share: timing a loop, and reporting figures as "name seconds" lines.

:- module(timing,
          [ measure/3,                  % +Name, :Goal, +Calls
            report_median/2,            % +Name, +Times
            flip/2                      % ?Bool, ?Other
          ]).
:- use_module(library(lists)).

:- meta_predicate measure(+, 0, +).

% measure(+Name, :Goal, +Calls): Goal runs Calls calls; prints the mean time of one.
measure(Name, Goal, N) :-
    garbage_collect,
    get_time(T0),
    call(Goal),
    get_time(T1),
    PerCall is (T1 - T0) / N,
    format("~w ~9e~n", [Name, PerCall]).

% report_median(+Name, +Times): prints the median of Times.
report_median(Name, Times) :-
    msort(Times, Sorted),
    length(Sorted, Length),
    Middle is Length // 2,
    nth0(Middle, Sorted, Median),
    format("~w ~9e~n", [Name, Median]).

% Which of two loops goes first, in turns.
flip(true, false).
flip(false, true).
