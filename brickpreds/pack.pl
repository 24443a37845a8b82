name(brickmod).
version('0.1.0').
title('Drive an NXT brick from Prolog: motors, sensors, tones, battery and name').
keywords([robot, nxt, brick, foreign]).
author('brickctl developers', 'brickctl@example.org').
maintainer('brickctl developers', 'brickctl@example.org').
packager('brickctl developers', 'brickctl@example.org').
home('https://brickctl.example.org/').
download('https://brickctl.example.org/download/brickmod-*.tgz').
