#include "Lib3/LSources/Mac/CIOObjectH.h"

#include "Platform/USB/IORegistry.h"

CIOObjectH::CIOObjectH(const CIOObjectH& other) : fObject(other.fObject) {
    plat::IORegistry::Retain(fObject);
}

CIOObjectH& CIOObjectH::operator=(const CIOObjectH& other) {
    return *this = other.fObject;
}

CIOObjectH& CIOObjectH::operator=(uint32_t object) {
    plat::IORegistry::Retain(object);
    plat::IORegistry::Release(fObject);
    fObject = object;
    return *this;
}

void CIOObjectH::Release() {
    plat::IORegistry::Release(fObject);
    fObject = 0;
}

CIOIterator::CIOIterator(const plat::MatchingDict* dict) {
    if (!dict) return;
    fIterator = plat::IORegistry::GetMatchingServices(plat::RetainRef(dict));
}

CIOIterator::~CIOIterator() {
    plat::IORegistry::Release(fIterator);
}

uint32_t CIOIterator::Next() {
    return plat::IORegistry::IteratorNext(fIterator);
}

void CIOIterator::Drain() {
    while (const uint32_t object = Next()) plat::IORegistry::Release(object);
}
