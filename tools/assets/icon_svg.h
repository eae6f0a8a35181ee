// The scalable desktop icon: the player's bubble as SVG, for desktops that draw icons at
// sizes between the PNG ones.
#pragma once

#include <string>

std::string orbelleIconSvg();
