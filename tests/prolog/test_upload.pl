% file_upload/3 stopped half-way and refused before sending, and file_delete/2 and
% file_upload/3 mending a brick that a killed client left holding files open. The bricks run in
% real time at the pace of Bluetooth, where a WRITE carries up to 16 KiB, so an upload of 80000
% bytes (five WRITEs, the four after the first some 1.4 s of the radio's line) is still under
% way when a test acts on the first WRITE in the brick's trace; nothing is timed.
%
% Run: swipl -p library=PACK/prolog -p foreign=PACK/lib/ARCH -g main test_upload.pl --
%      BRICKSIM BRICK

:- use_module(library(plunit)).
:- use_module(library(lists)).
:- use_module(library(apply)).
:- use_module(library(process)).
:- use_module(library(brick)).
:- use_module(brick_sim).

main :-
    current_prolog_flag(argv, [_, Tool|_]),
    nb_setval(brick_tool, Tool),
    sim_run_tests.

:- meta_predicate with_sim(-, -, 0).
with_sim(Sim, Brick, Goal) :-
    nb_getval(bricksim, Exe),
    setup_call_cleanup(sim_start(Exe, Sim, [real_time(true), link_model(bluetooth)]),
                       ( sim_link(Sim, Link),
                         with_brick(Link, Brick, Goal)
                       ),
                       sim_stop(Sim)).

local_file(Bytes, Path) :-
    tmp_file(upload, Path),
    setup_call_cleanup(open(Path, write, Out, [encoding(octet)]),
                       forall(between(1, Bytes, I), ( Byte is I /\ 0xFF, put_byte(Out, Byte) )),
                       close(Out)).

writes(Sim, N) :-
    sim_commands(Sim, Hex),
    aggregate_all(count, (member(H, Hex), sub_string(H, 0, _, _, "01 83 ")), N).

more_writes(Sim, Seen) :-
    writes(Sim, N),
    N > Seen.

% once_writing(+Sim, +Thread, +Signal): the goal of a watcher thread, which sends Signal to
% Thread as soon as the brick has received a WRITE.
once_writing(Sim, Thread, Signal) :-
    (   wait_until_long(more_writes(Sim, 0))
    ->  thread_signal(Thread, Signal)
    ;   true
    ).

wait_until_long(Goal) :-
    between(1, 2000, _),
    (   call(Goal)
    ->  !
    ;   sleep(0.01),
        fail
    ).

% searches(+SimOrHex, -N): the FIND FIRSTs of "*.*" the brick received.
searches(Sim, N) :-
    Sim = sim(_, _, _),
    !,
    sim_commands(Sim, Hex),
    searches(Hex, N).
searches(Hex, N) :-
    aggregate_all(count, ( member(H, Hex), sub_string(H, 0, _, _, "01 86 2A 2E 2A") ), N).

% FIND FIRST "*.*" over the Bluetooth framing, and gone before the reply.
find_first_and_leave(Link) :-
    length(Pad, 17),
    maplist(=(0), Pad),
    append([[0x16, 0x00, 0x01, 0x86], `*.*`, Pad], Bytes),
    setup_call_cleanup(open(Link, write, Out, [type(binary)]),
                       ( maplist(put_byte(Out), Bytes), flush_output(Out) ),
                       close(Out)).

:- begin_tests(upload_stops).

% The exception a signal turns into, as a program meets it.
stop_signal(throw(stopped), stopped).
stop_signal(throw(time_limit_exceeded), time_limit_exceeded).

% The upload is stopped between two WRITEs; before the exception goes on, the handle is closed
% (01 84 00) and the half file deleted (01 85 "half.bin"); no half file is left.
test(signal_closes_and_deletes, [forall(stop_signal(Signal, Caught))]) :-
    local_file(80000, Path),
    thread_self(Me),
    with_sim(Sim, B,
             ( thread_create(once_writing(Sim, Me, Signal), Watcher, []),
               catch(file_upload(B, Path, 'half.bin'), Got, true),
               thread_join(Watcher, _),
               sim_commands(Sim, Hex),
               file_list(B, '*.*', Files) )),
    delete_file(Path),
    assertion(Got == Caught),
    once(append(_, ["01 84 00", Delete|_], Hex)),
    assertion(sub_string(Delete, 0, _, _, "01 85 68 61 6C 66 2E 62 69 6E 00")),
    assertion(\+ memberchk('half.bin'-_, Files)).

% Sixteen stopped uploads in a row leave the brick's handles free.
test(sixteen_stops) :-
    local_file(80000, Path),
    thread_self(Me),
    with_sim(Sim, B,
             ( forall(between(1, 16, I),
                      ( writes(Sim, Seen),
                        thread_create(( wait_until_long(more_writes(Sim, Seen)),
                                        thread_signal(Me, throw(stopped)) ),
                                      Watcher, []),
                        format(atom(Name), 'h~d.bin', [I]),
                        catch(file_upload(B, Path, Name), stopped, true),
                        thread_join(Watcher, _) )),
               file_list(B, '*.*', Files) )),
    delete_file(Path),
    assertion(\+ ( member(F-_, Files), sub_atom(F, 0, _, _, h) )).

% Refused before anything is sent: Goal's error and the telegrams that went (GET DEVICE INFO
% only: once for the check, once more for the figure the error gives; no OPEN WRITE).
refusal(file_upload(B, '/dev/zero', x), B, domain_error(regular_file, '/dev/zero'), []).
refusal(file_upload(B, Path, 'huge.bin'), B, resource_error(brick_flash),
        ["01 9B", "01 9B"]) :-
    local_file(112605, Path).

test(refused_before_sending, [forall(refusal(Goal, B, Formal, Sent))]) :-
    with_sim(Sim, B, ( sim_commands(Sim, Before),
                       catch(Goal, error(Got, _), true),
                       sim_commands(Sim, After) )),
    append(Before, Hex, After),
    assertion(Got =@= Formal),
    assertion(Hex == Sent).

% A client killed outright (the brick tool, SIGKILL) leaves half.bin open: file_delete/2 closes
% the brick's handles and deletes it, with a warning.
test(delete_mends_a_busy_file) :-
    local_file(80000, Path),
    nb_getval(bricksim, Exe),
    nb_getval(brick_tool, Tool),
    setup_call_cleanup(
        sim_start(Exe, Sim, [real_time(true), link_model(bluetooth)]),
        ( sim_link(Sim, Link),
          % The tool holds the device while it runs: the brick is opened here once it is gone.
          process_create(Tool, ['--device', Link, upload, Path, 'half.bin'],
                         [process(Pid), stdout(null), stderr(null)]),
          wait_until_long(more_writes(Sim, 0)),
          process_kill(Pid, kill),
          process_wait(Pid, _),
          with_brick(Link, B, ( catch(file_delete(B, 'half.bin'), E, true),
                                file_list(B, '*.*', Files) ))
        ),
        sim_stop(Sim)),
    delete_file(Path),
    assertion(var(E)),
    assertion(\+ memberchk('half.bin'-_, Files)).

% Clients that ended in the middle of file listings (a search holds its handle until CLOSE)
% leave the brick with no handle free: file_list/3 closes them, with a warning, and lists.
test(list_mends_a_brick_out_of_handles) :-
    local_file(100, Path),
    nb_getval(bricksim, Exe),
    setup_call_cleanup(
        sim_start(Exe, Sim, [real_time(true), link_model(bluetooth)]),
        ( sim_link(Sim, Link),
          with_brick(Link, B, file_upload(B, Path, 'one.bin')),
          forall(between(1, 16, _), find_first_and_leave(Link)),
          % Opening the device flushes what is still on the line: the searches go first.
          wait_until_long(searches(Sim, 16)),
          with_brick(Link, B2, file_list(B2, '*.*', Files)),
          sim_commands(Sim, Hex)
        ),
        sim_stop(Sim)),
    delete_file(Path),
    searches(Hex, Searches),
    assertion(memberchk('one.bin'-100, Files)),
    assertion(Searches == 18).  % refused once with 0x81, then mended

:- end_tests(upload_stops).
