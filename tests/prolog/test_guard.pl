% C++ exceptions thrown inside a predicate body become Prolog exceptions, and swipl goes on.
% The probes (guard_probe.cpp) run through the same guard as every predicate of brickmod.
% Run: swipl -p ... -g main test_guard.pl -- path/to/brickguard_probe.so

:- use_module(library(plunit)).

main :-
    current_prolog_flag(argv, [Probe|_]),
    load_foreign_library(Probe),
    (   run_tests
    ->  halt(0)
    ;   halt(1)
    ).

:- begin_tests(guard).

test(bad_alloc_is_resource_error, error(resource_error(memory), _)) :-
    brickguard:throw_bad_alloc(_).

test(std_exception_is_named_with_its_message) :-
    catch(brickguard:throw_runtime_error('port 9 is gone'), E, true),
    assertion(E = error(system_error(cpp_exception('std::runtime_error', 'port 9 is gone')), _)).

test(any_other_exception_is_named_by_its_type) :-
    catch(brickguard:throw_int(_), E, true),
    assertion(E = error(system_error(cpp_exception(int, '')), _)).

test(failed_term_operation_without_reason_is_raised_not_failed) :-
    catch(brickguard:throw_plfail(_), E, true),
    assertion(E = error(system_error(cpp_exception('PlFail', _)), _)).

% Raising leaves no term references or C++ state behind: a long run of them goes on fine.
test(many_exceptions_in_a_row) :-
    forall(between(1, 1000, _),
           forall(member(G, [throw_bad_alloc(_), throw_runtime_error(x), throw_int(_)]),
                  catch(brickguard:G, error(_, _), true))).

:- end_tests(guard).
