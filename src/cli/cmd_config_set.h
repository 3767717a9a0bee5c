#pragma once

#include <ostream>

#include "cli/cli_options.h"

class CLanStation;
class CCliView;

// kestrel-cli config-set IP... KEY=VALUE: one configuration item to each device in
// turn (a number when VALUE is digits only). Exit: 0 every device agreed, 4 none
// answered, 3 otherwise; 2 when the item is not one key and one value.
int iConfigSetVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
                   std::ostream& err);
