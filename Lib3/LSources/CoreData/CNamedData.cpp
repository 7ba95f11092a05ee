#include "Lib3/LSources/CoreData/CNamedData.h"

CNamedData::~CNamedData() = default;
