#include "PackageInfo.h"

quint16 packetSize = 1016;
