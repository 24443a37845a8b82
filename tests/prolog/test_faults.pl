% Module brickmod when the brick goes wrong mid-session: it vanishes (bricksim is killed, its
% pseudo-terminal closes with it) or falls silent (bricksim is stopped and reads nothing).
% Every later call must come back within the link's reply time limit, nothing may crash, and
% the same swipl must go on: disconnect/1 and connectBluetooth/2 to a fresh brick, and the
% motor and sensors attached before work through the new link.
%
% Run: swipl -p library=PACK/prolog -p foreign=PACK/lib/ARCH -g main test_faults.pl -- BRICKSIM

:- use_module(library(plunit)).
:- use_module(library(lists)).
:- use_module(library(apply)).
:- use_module(library(brickmod)).
:- use_module(brick_sim).

main :-
    sim_run_tests.

% Comm::kReplyTimeoutMs: the longest a call waits for one reply. A call that waits for two
% replies, or for ever, exceeds the limit plus the slack allowed for a busy machine.
reply_timeout(1.0).
slack(0.8).

new_sim(Sim) :-
    nb_getval(bricksim, Exe),
    sim_start(Exe, Sim).

% A brick linked to Sim with a motor at output 1, a touch sensor at input 0 and an ultrasonic
% sensor at input 3.
rig(Sim, B, M, Touch, Sonar) :-
    sim_link(Sim, Link),
    brick_rig(Link, B, M, Touch),
    'Sensor'(Sonar),
    setSensorType(Sonar, 805),
    setSensor(B, Sonar, 3).

% step(:Goal): Goal succeeds once and leaves no choice point.
step(Goal) :-
    call_cleanup(Goal, Det = true),
    assertion(Det == true).

% within(:Goal, +Replies, -Seconds): Goal succeeds once, leaves no choice point, and comes back
% within Replies reply time limits (plus slack).
within(Goal, Replies, Seconds) :-
    get_time(T0),
    step(Goal),
    get_time(T1),
    Seconds is T1 - T0,
    reply_timeout(Limit),
    slack(Slack),
    (   Seconds =< Replies * Limit + Slack
    ->  true
    ;   format(user_error, "~q took ~3f s~n", [Goal, Seconds]),
        fail
    ).

% The brick received Expected as its last telegrams.
last_commands(Sim, Expected) :-
    length(Expected, N),
    (   wait_until((sim_commands(Sim, All), length(All, Len), Len >= N))
    ->  true
    ;   true
    ),
    sim_commands(Sim, All),
    (   append(_, Expected, All)
    ->  true
    ;   format(user_error, "the brick received ~q~n", [All]),
        fail
    ).

% Every predicate that sends something or reads through a link, on the rig.
call_after_fault(B, _, _, _, playTone(B, 440, 500)).
call_after_fault(B, _, _, _, stopTone(B)).
call_after_fault(B, _, _, _, getBatteryLevel(_, B)).
call_after_fault(B, _, _, _, getName(_, B)).
call_after_fault(B, _, _, _, setName(renamed, B)).
call_after_fault(B, _, _, _, getSensor(_, B, 0)).
call_after_fault(B, _, _, _, getMotor(_, B, 1)).
call_after_fault(_, M, _, _, getRotationCount(_, M)).
call_after_fault(_, M, _, _, resetRotationCount(M)).
call_after_fault(_, M, _, _, moveForward(M, 75)).
call_after_fault(_, M, _, _, moveForwardDegrees(M, 75, 360)).
call_after_fault(_, M, _, _, moveBackward(M, 75)).
call_after_fault(_, M, _, _, moveBackwardDegrees(M, 75, 360)).
call_after_fault(_, M, _, _, stop(M)).
call_after_fault(_, M, _, _, setBrake(M, 1)).
call_after_fault(_, _, T, _, getValue(_, T)).
call_after_fault(_, _, T, _, setSensorType(T, 800)).
call_after_fault(_, _, T, _, disableLight(T)).
call_after_fault(_, _, T, _, enableLight(T)).
call_after_fault(_, _, T, _, changeColor(T, 807)).
call_after_fault(_, _, T, _, getSensorType(_, T)).
call_after_fault(_, _, _, S, getValue(_, S)).
call_after_fault(_, _, _, S, disableSonar(S)).
call_after_fault(_, _, _, S, enableSonar(S)).
call_after_fault(B, _, _, _, remSensor(B, 3)).
call_after_fault(B, _, _, S, setSensor(B, S, 3)).
call_after_fault(B, _, _, _, remMotor(B, 1)).
call_after_fault(B, M, _, _, setMotor(B, M, 1)).

:- begin_tests(faults).

% Killed, bricksim takes its pseudo-terminal along: every call finds the link gone and comes
% back at once. The brick then disconnects and connects to a brick started afterwards, in the
% same swipl, and the motor and sensor it had attached drive the new brick.
test(brick_vanishes_then_a_new_brick_takes_over) :-
    new_sim(Old),
    rig(Old, B, M, Touch, Sonar),
    sim_kill(Old),
    forall(call_after_fault(B, M, Touch, Sonar, Goal),
           assertion(within(Goal, 1, _))),
    sim_link(Old, OldLink),
    assertion(within(connectBluetooth(B, OldLink), 1, _)),
    sim_stop(Old),
    setup_call_cleanup(
        new_sim(New),
        (   step(disconnect(B)),
            sim_link(New, NewLink),
            step(connectBluetooth(B, NewLink)),
            step(playTone(B, 440, 500)),
            step(getBatteryLevel(Millivolts, B)),
            assertion(Millivolts == 9000),
            step(getName(Name, B)),
            assertion(Name == 'NXT'),
            step(moveForward(M, 75)),
            step(setSensorType(Touch, 802)),     % the new brick's port is configured anew
            step(getValue(Pressed, Touch)),
            assertion(Pressed == 0),
            step(getSensor(S0, B, 0)),
            step(getMotor(M1, B, 1)),
            assertion(S0-M1 == Touch-M),
            last_commands(New,
                          [ "00 03 B8 01 F4 01",                       % PLAYTONE 440 Hz 500 ms
                            "00 0B",                                   % GETBATTERYLEVEL
                            "01 9B",                                   % GETDEVICEINFO
                            "00 04 01 4B 05 01 00 20 00 00 00 00",     % port 1 power 75
                            "00 05 00 01 20",                          % SETINPUTMODE touch
                            "00 07 00"                                 % GETINPUTVALUES port 0
                          ])
        ),
        sim_stop(New)).

% Stopped, bricksim reads nothing and answers nothing: each call waits out one reply time and
% comes back, the ultrasonic reading three (its request, status and read go out one after the
% other, each unanswered). Woken up, the brick works through the telegrams it was sent
% meanwhile; their late replies are passed over and the session goes on.
test(brick_falls_silent_then_answers_again) :-
    setup_call_cleanup(
        new_sim(Sim),
        silent_session(Sim),
        sim_stop(Sim)).

silent_session(Sim) :-
    rig(Sim, B, M, Touch, Sonar),
    sim_signal(Sim, stop),
    reply_timeout(Limit),
    Waited is 0.9 * Limit,
    forall(member(Goal-Replies,
                  [ playTone(B, 440, 500)-1,
                    getBatteryLevel(_, B)-1,
                    moveForward(M, 75)-1,
                    getValue(_, Touch)-1,
                    getValue(_, Sonar)-3
                  ]),
           (   within(Goal, Replies, Seconds),
               assertion(Seconds >= Waited)          % the brick really kept silent
           )),
    sim_signal(Sim, cont),
    step(getName(Name, B)),
    assertion(Name == 'NXT'),
    step(playTone(B, 880, 100)),
    step(getRotationCount(Count, M)),
    assertion(integer(Count)),
    last_commands(Sim,
                  [ "00 03 B8 01 F4 01",                       % sent while silent
                    "00 0B",
                    "00 04 01 4B 05 01 00 20 00 00 00 00",
                    "00 07 00",
                    "00 0F 03 02 01 02 42",                    % LSWRITE distance request
                    "00 0E 03",                                % LSGETSTATUS
                    "00 10 03",                                % LSREAD
                    "01 9B",                                   % GETDEVICEINFO, answered
                    "00 03 70 03 64 00",                       % PLAYTONE 880 Hz 100 ms
                    "00 06 01"                                 % GETOUTPUTSTATE port 1
                  ]).

:- end_tests(faults).
