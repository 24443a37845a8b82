% Part of library(brick), included by brick.pl: the brick's firmware modules and their IO maps,
% its screen and its buttons. The module, its exports and the foreign predicates are in
% brick.pl.

%!  iomap_modules(+Brick, -Modules) is det.
%
%   The brick's firmware modules, in the firmware's order, as
%   module(Name, Id, IoMapSize): for example
%   module('Display.mod', 0x000A0001, 1720).

%!  iomap_read(+Brick, +Module, +Offset, +Count, -Bytes) is det.
%!  iomap_write(+Brick, +Module, +Offset, +Bytes) is det.
%
%   Reads Count bytes (a list of integers 0 to 255) of Module's IO map
%   from Offset, or writes the list Bytes there. Module is a name, as an
%   atom or string ('Display.mod', or display: ".mod" is added), or an id
%   (an integer, 0x000A0001). Offset and Count run from 0 to 65535. What
%   the firmware acts on when its own parts write it, it acts on when
%   written here: a button press in the UI map, a tone in the Sound map,
%   a motor's update flags in the Output map.
%
%   @error brick_refused(iomap_read, 0x90, module_not_found) when the
%   brick has no such module; 0x91, out_of_boundary, when the bytes lie
%   past the map's end.

%!  screenshot(+Brick, -Rows) is det.
%!  screenshot(+Brick, -Rows, -Popup) is det.
%
%   What the brick's 100 x 64 screen shows: Rows is a list of 64 rows
%   from the top, each a list of 100 pixels from the left, 1 dark and 0
%   light. Popup is `true` when the display shows its popup screen (then
%   Rows are that screen), else `false`.

screenshot(Brick, Rows) :-
    '$screenshot'(Brick, Rows, _).

screenshot(Brick, Rows, Popup) :-
    '$screenshot'(Brick, Rows, Popup).

%!  button_press(+Brick, +Button) is det.
%
%   Presses Button, one of `enter` (orange), `left`, `right` and `exit`
%   (dark grey): the brick's menu takes it as a press on the brick, and
%   `exit` ends a running program.
%
%   @error domain_error(brick_button, Button) for any other atom.
