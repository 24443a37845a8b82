name(brickmod).
version('0.1.0').
title('Drive an NXT brick from Prolog: motors, sensors, tones, battery and name').
keywords([robot, nxt, brick, foreign]).
