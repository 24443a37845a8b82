% Part of library(brick), included by brick.pl: what lives in the brick's flash (files and
% sound files) and the program it runs, with that program's mailboxes.
%
% File names are the brick's: at most 19 characters ('prog.rxe', 'Good
% Job.rso', 'notes'), compared by the brick in any case ('PROG.RXE' is
% 'prog.rxe'); a longer one is domain_error(file_name, Name), with nothing
% sent, as the brick would refuse it.

%!  file_list(+Brick, +Pattern, -Files) is det.
%
%   Files is a list of Name-Bytes, one for each file on the brick whose
%   name matches Pattern, by the brick's own rules and in any case:
%   `'*.*'` every file, `'prog.*'` the files named prog with any
%   extension, `'*.rxe'` the files with .rxe anywhere in their name, any
%   other pattern a whole name. No match is the empty list. A brick
%   with no file handle free (0x81), left so by clients that ended without
%   closing, is mended as by file_upload/3: every handle is closed (a
%   warning says how many) and the listing tried once more.

file_list(Brick, Pattern, Files) :-
    catch('$file_list'(Brick, Pattern, Files0),
          error(brick_refused(file_list, 0x81, _), _),
          list_again(Brick, Pattern, Files0)),
    Files = Files0.

list_again(Brick, Pattern, Files) :-
    mend_handles(Brick, file_list, Pattern),
    '$file_list'(Brick, Pattern, Files).

%!  file_upload(+Brick, +Path) is det.
%!  file_upload(+Brick, +Path, +Name) is det.
%
%   Stores the local file Path on the brick as Name (by default the base
%   name of Path). A file of that name already there is left as it is.
%   Path is read as it is sent, a WRITE at a time, so a file of any size
%   takes little memory; its size must be known before sending, so Path is
%   a regular file (not a device such as `/dev/zero`, a FIFO or a
%   directory). The brick's free flash is asked for first: a file larger
%   than it is refused before anything is opened on the brick.
%
%   When the upload ends early, by an exception from a signal (an
%   interrupt, call_with_time_limit/2, thread_signal/2) or because the
%   brick stops answering, the handle it opened on the brick is closed and
%   the half-written file deleted before the exception goes on. When the
%   brick has no file handle free (0x81, or 0x8C: four files open for
%   writing), left so by a client that ended without closing, every
%   handle of the brick is closed (a warning says how many were open) and
%   the upload tried once more; this also ends any other client's
%   transfer.
%
%   @error brick_refused(file_upload, 0x8F, file_exists) when the name is
%   taken; 0x82 `no_space` when the flash is full.
%   @error resource_error(brick_flash) when Path is larger than the free
%   flash (the context says both sizes); nothing is sent.
%   @error domain_error(regular_file, Path) when Path is not a regular
%   file; nothing is sent.

file_upload(Brick, Path) :-
    must_be(atomic, Path),
    file_base_name(Path, Name),
    file_upload(Brick, Path, Name).

file_upload(Brick, Path, Name) :-
    catch('$file_upload'(Brick, Path, Name),
          error(brick_refused(file_upload, Status, Text), Context),
          upload_again(error(brick_refused(file_upload, Status, Text), Context),
                       Brick, Path, Name)).

upload_again(error(brick_refused(_, Status, _), _), Brick, Path, Name) :-
    memberchk(Status, [0x81, 0x8C]),
    !,
    mend_handles(Brick, file_upload, Name),
    '$file_upload'(Brick, Path, Name).
upload_again(Error, _, _, _) :-
    throw(Error).

% What an interrupted client leaves on a brick (a file held open, its handles taken) stays until
% the brick restarts unless someone closes it.
mend_handles(Brick, Operation, Name) :-
    '$file_close_all'(Brick, Closed),
    print_message(warning, brick(closed_handles(Operation, Name, Closed))).

%!  file_download(+Brick, +Name, +Path) is det.
%
%   Copies the file Name from the brick to the local file Path, which is
%   written only once the whole file has arrived.
%
%   @error brick_refused(file_download, 0x87, file_not_found) when the brick
%   has no such file.

file_download(Brick, Name, Path) :-
    '$file_download'(Brick, Name, Bytes),
    setup_call_cleanup(open(Path, write, Out, [encoding(octet)]),
                       write(Out, Bytes),
                       close(Out)).

%!  file_delete(+Brick, +Name) is det.
%
%   Deletes the file Name from the brick. A file the brick says is busy
%   (0x8B), held open by a client that ended without closing it (an
%   interrupted upload), is mended: every handle of the brick is closed (a
%   warning says how many were open; any other client's transfer ends too)
%   and the delete tried once more. A half-written file goes with its
%   handle, and that is success too.
%
%   @error brick_refused(file_delete, 0x87, file_not_found) when there is
%   none.

file_delete(Brick, Name) :-
    catch('$file_delete'(Brick, Name),
          error(brick_refused(file_delete, 0x8B, _), _),
          delete_again(Brick, Name)).

delete_again(Brick, Name) :-
    mend_handles(Brick, file_delete, Name),
    catch('$file_delete'(Brick, Name),
          error(brick_refused(file_delete, 0x87, _), _),
          true).

%!  program_start(+Brick, +Name) is det.
%
%   Starts the program in the file Name (such as 'robot.rxe'), stopping
%   the one that runs, if any.
%
%   @error brick_refused(program_start, 0xBD, request_failed) when the
%   brick has no such file.

%!  program_stop(+Brick) is det.
%
%   Stops the program that runs on the brick.
%
%   @error brick_refused(program_stop, 0xEC, no_active_program) when none
%   runs.

%!  program_running(+Brick, -Name) is semidet.
%
%   Name is the file name of the program that runs on the brick; fails
%   when none runs.

%!  mailbox_send(+Brick, +Inbox, +Message) is det.
%
%   Puts Message into inbox 0 to 9 of the program that runs on the brick.
%   Message is a text (atom or string, at most 58 bytes, no NUL) or an
%   integer, which goes as 4 bytes, the way brick programs read a number.
%
%   @error brick_refused(mailbox_send, 0xEC, no_active_program) when no
%   program runs.

%!  mailbox_receive(+Brick, +Outbox, -Message) is semidet.
%!  mailbox_receive(+Brick, +Outbox, -Message, +Options) is semidet.
%
%   Takes the oldest message from outbox 10 to 19 of the program that runs
%   on the brick (where brick programs put what they send to the host);
%   fails when the outbox is empty. Message is a string. Options:
%
%     - remove(+Bool): with `false`, leave the message in the outbox;
%     - as(+Type): `text` (default), or `number` for a 4-byte number as
%       brick programs send one (domain_error(number_message, Text) for
%       another message, which is taken all the same).
%
%   @error brick_refused(mailbox_receive, 0xEC, no_active_program) when no
%   program runs.

mailbox_receive(Brick, Outbox, Message) :-
    '$mailbox_receive'(Brick, Outbox, true, Message).

mailbox_receive(Brick, Outbox, Message, Options) :-
    must_be(list, Options),
    option(remove(Remove), Options, true),
    option(as(As), Options, text),
    (   memberchk(As, [text, number])
    ->  true
    ;   must_be(atom, As),
        domain_error(oneof([text, number]), As)
    ),
    '$mailbox_receive'(Brick, Outbox, Remove, Text),
    message_as(As, Text, Message).

message_as(text, Text, Text).
message_as(number, Text, Number) :-
    (   string_codes(Text, [B0, B1, B2, B3])
    ->  Unsigned is B0 \/ B1 << 8 \/ B2 << 16 \/ B3 << 24,
        (   Unsigned >= 1 << 31
        ->  Number is Unsigned - (1 << 32)
        ;   Number = Unsigned
        )
    ;   domain_error(number_message, Text)
    ).

%!  sound_play(+Brick, +Name) is det.
%!  sound_play(+Brick, +Name, +Options) is det.
%
%   Plays the sound file Name (such as 'Woops.rso') stored on the brick,
%   and returns at once. Options:
%
%     - loop(+Bool): with `true`, play it again and again until
%       sound_stop/1.
%
%   @error brick_refused(sound_play, 0xBD, request_failed) when the brick
%   has no such file.

sound_play(Brick, Name) :-
    '$sound_play'(Brick, Name, false).

sound_play(Brick, Name, Options) :-
    must_be(list, Options),
    option(loop(Loop), Options, false),
    '$sound_play'(Brick, Name, Loop).

%!  sound_stop(+Brick) is det.
%
%   Stops the sound file (or tone) playing.
