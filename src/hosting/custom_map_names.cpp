#include "hosting/custom_map_names.h"

std::vector<std::string> customMapNames;
