// bricksim's --help text.
#ifndef SIM_BRICKSIM_USAGE_H
#define SIM_BRICKSIM_USAGE_H

extern const char kUsage[];

#endif
