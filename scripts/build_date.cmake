# Writes the build date header; run at every build. file(CONFIGURE) rewrites
# the header only when the date changed, so the about box's unit is rebuilt
# once a day at most.
string(TIMESTAMP date "%b %d %Y")
file(CONFIGURE OUTPUT "${OUT}" CONTENT "#pragma once\n#define BAROMETER_BUILD_DATE \"${date}\"\n")
