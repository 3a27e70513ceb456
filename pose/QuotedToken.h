#pragma once

#include <string>
#include <string_view>

// A token as a message may quote it: short, and with no byte that a terminal
// would act on.
std::string quotedToken(std::string_view token);
