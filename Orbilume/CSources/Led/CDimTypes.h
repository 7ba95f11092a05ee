#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/SFieldDesc.h"

class CRecord;
class CRecordType;

// The LED dimmer records of domain 'YOBM', registered at static initialisation:
//   DIMS  the dimmer document (devices, embedded definitions, universe addresses)
//   DIDV  one placed device
//   DIDF  one fixture definition (grid of dots, channel table, dot order)
//   DIDS  a definitions file / the definition store's root: [DIDF]
//   DTIF  a device interface
//   DTLY  a device layout in units; its hook keeps the universes needed (field 10)
class CDimTypes {
public:
    static constexpr uint32_t kDomain = Fcc("YOBM");
    static constexpr uint32_t kDIMS = Fcc("DIMS");
    static constexpr uint32_t kDIDV = Fcc("DIDV");
    static constexpr uint32_t kDIDF = Fcc("DIDF");
    static constexpr uint32_t kDIDS = Fcc("DIDS");
    static constexpr uint32_t kDTIF = Fcc("DTIF");
    static constexpr uint32_t kDTLY = Fcc("DTLY");

    enum DimsField : uint32_t {
        kDimsDivision,
        kDimsAutoDivision,
        kDimsStretch,
        kDimsSoft,
        kDimsDotGap,
        kDimsSacn,
        kDimsDevices,
        kDimsDefinitions,
        kDimsUniverses,
        kDimsViewMode,      // run-time
        kDimsCanvasWidth,   // run-time
        kDimsCanvasHeight,  // run-time
        kDimsFieldCount
    };
    enum DidvField : uint32_t {
        kDidvDefinition,
        kDidvPosX,
        kDidvPosY,
        kDidvWidth,
        kDidvHeight,
        kDidvRotation,
        kDidvFirstSlot,
        kDidvConnection,
        kDidvParams,
        kDidvReserved,   // run-time
        kDidvPortFault,  // run-time
        kDidvSelected,   // run-time
        kDidvSnapshot,   // run-time, silent: 12-16 copy 1-5
        kDidvFieldCount = kDidvSnapshot + 5
    };
    enum DidfField : uint32_t {
        kDidfName,
        kDidfColumns,
        kDidfRows,
        kDidfComposition,
        kDidfPrefixCount,
        kDidfSuffixCount,
        kDidfChannels,
        kDidfDotOrder,
        kDidfUser,      // run-time, silent
        kDidfEmbedded,  // run-time, silent
        kDidfFieldCount
    };
    enum DidsField : uint32_t { kDidsDefinitions, kDidsFieldCount };
    enum DtifField : uint32_t { kDtifType, kDtifParams, kDtifWord, kDtifFieldCount };
    enum DtlyField : uint32_t {
        kDtlyUnitColumns,
        kDtlyUnitRows,
        kDtlyColumns,
        kDtlyRows,
        kDtlyUsdt,
        kDtlyDtoc,
        kDtlySlotsSelector,
        kDtlyInterfaces,
        kDtlyTiming,
        kDtlyTable,
        kDtlyUniverses,  // run-time, kept by the hook
        kDtlyFieldCount
    };

    // Channel codes of 'chcp'; values of 0 or more are fixed levels.
    enum : int32_t { kCodeRed = -1, kCodeGreen = -2, kCodeBlue = -3, kCodeLuminance = -4 };

    static const CRecordType* Dims();
    static const CRecordType* Didv();
    static const CRecordType* Didf();
    static const CRecordType* Dids();
    static const CRecordType* Dtif();
    static const CRecordType* Dtly();

    // Universes a DTLY layout needs from its unit size, unit count and slots per dot.
    static uint32_t LayoutUniverses(const CRecord* layout);
};
