% Part of library(brick), included by brick.pl: a watcher thread that polls what a program
% names and posts what changes, as events, to a message queue.

%!  brick_events(+Brick, +Watches, -Events) is det.
%
%   Starts a thread that polls Brick for the Watches, a list of:
%
%     | touch(Sensor)           | touch(Port, pressed), touch(Port, released) |
%     | distance(Sensor, Cm)    | distance(Port, near, D) when D < Cm; distance(Port, far, D) once D >= Cm + 3 |
%     | light(Sensor, Level)    | light(Port, dark, L) when L < Level; light(Port, bright, L) once L >= Level + 4 |
%     | motor(Motor)            | motor(Port, done) when its move ends; motor(Port, stalled) when under power it has not turned for 0.3 s |
%     | poll(Seconds)           | the time between two rounds (default 0.02) |
%
%   Sensors are configured first (brick_sensor/4). When the brick is lost
%   (switched off, out of range, closed), brick_lost(Device) is posted and
%   the watcher ends. Read events with wait_event/2,3; end the watcher with
%   brick_events_stop/1.
%
%   The watcher shares Brick with the program's own threads: each of its
%   readings is one exchange, never interleaved with another thread's
%   (docs/threads.md), so a pilot may drive while it watches. A change is
%   seen when it lasts from one round to the next.

brick_events(Brick, Watches, events(Queue, Thread)) :-
    must_be(list, Watches),
    brick_device(Brick, Device),
    (   memberchk(poll(Poll), Watches)
    ->  seconds(Poll)
    ;   Poll = 0.02
    ),
    exclude([W]>>(W = poll(_)), Watches, Things),
    maplist(watch_state, Things, States),
    message_queue_create(Queue),
    thread_create(watch_loop(Device, Queue, Poll, States), Thread, []).

watch_state(touch(S), w(touch(S), none)) :- !, sensor_port_of(S).
watch_state(distance(S, Cm), w(distance(S, Cm), none)) :- !, sensor_port_of(S), must_be(number, Cm).
watch_state(light(S, L), w(light(S, L), none)) :- !, sensor_port_of(S), must_be(number, L).
watch_state(motor(M), w(motor(M), none)) :- !, must_be(compound, M).
watch_state(W, _) :- domain_error(brick_watch, W).

sensor_port_of(sensor(_, _)) :- !.
sensor_port_of(S) :- type_error(sensor, S).

watch_loop(Device, Queue, Poll, States) :-
    catch(watch_rounds(Queue, Poll, States), E, watch_ended(E, Device, Queue)).

watch_ended(stop, _, _) :- !.
watch_ended(error(Formal, _), Device, Queue) :-
    lost_brick(Formal), !,
    thread_send_message(Queue, brick_lost(Device)).
watch_ended(E, _, Queue) :-
    thread_send_message(Queue, watcher_error(E)).

lost_brick(existence_error(brick, _)).
lost_brick(timeout_error(_, _)).

watch_rounds(Queue, Poll, States0) :-
    get_time(Now),
    maplist(watch_one(Queue, Now), States0, States),
    sleep(Poll),
    watch_rounds(Queue, Poll, States).

watch_one(Queue, _, w(touch(S), Old), w(touch(S), New)) :-
    sensor_value(S, V),
    ( V =:= 0 -> New = released ; New = pressed ),
    S = sensor(_, Port),
    changed(Queue, Old, New, touch(Port, New)).
watch_one(Queue, _, w(distance(S, Cm), Old), w(distance(S, Cm), New)) :-
    sensor_value(S, D),
    crossing(D, Cm, 3, near, far, Old, New),
    S = sensor(_, Port),
    changed(Queue, Old, New, distance(Port, New, D)).
watch_one(Queue, _, w(light(S, L), Old), w(light(S, L), New)) :-
    sensor_value(S, V),
    crossing(V, L, 4, dark, bright, Old, New),
    S = sensor(_, Port),
    changed(Queue, Old, New, light(Port, New, V)).
watch_one(Queue, Now, w(motor(M), Old), w(motor(M), New)) :-
    '$motor_state'(M, brick_events, Finished, Power, _, _, _, _, _, _, _, Count),
    M = motor(_, Port),
    (   Finished == true
    ->  New = idle,
        ( Old = moving(_, _, _) -> thread_send_message(Queue, motor(Port, done)) ; true )
    ;   Old = moving(Count, Since, Said), Power =\= 0
    ->  (   Said == false, Now - Since >= 0.3
        ->  thread_send_message(Queue, motor(Port, stalled)),
            New = moving(Count, Since, true)
        ;   New = moving(Count, Since, Said)
        )
    ;   New = moving(Count, Now, false)
    ).

% Below Threshold is Low; at Threshold + Hysteresis or above High; in between as it was (the
% first reading in between counts as High).
crossing(V, Threshold, Hysteresis, Low, High, Old, New) :-
    (   V < Threshold
    ->  New = Low
    ;   V >= Threshold + Hysteresis
    ->  New = High
    ;   Old == none
    ->  New = High
    ;   New = Old
    ).

changed(Queue, Old, New, Event) :-
    (   Old == none
    ->  true                            % the first reading: where things stand
    ;   Old == New
    ->  true
    ;   thread_send_message(Queue, Event)
    ).

%!  wait_event(+Events, -Event) is det.
%!  wait_event(+Events, -Event, +Timeout) is semidet.
%
%   The oldest event not read yet, waiting for one; wait_event/3 fails when
%   none comes within Timeout seconds.

wait_event(events(Queue, _), Event) :-
    thread_get_message(Queue, Event).

wait_event(events(Queue, _), Event, Timeout) :-
    seconds(Timeout),
    thread_get_message(Queue, Event, [timeout(Timeout)]).

%!  brick_events_stop(+Events) is det.
%
%   Ends the watcher and drops the events not read.

brick_events_stop(events(Queue, Thread)) :-
    catch(thread_signal(Thread, throw(stop)), _, true),
    thread_join(Thread, _),
    message_queue_destroy(Queue).
