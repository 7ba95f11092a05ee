#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/SFieldDesc.h"

class CRecordType;

// The record types of a patch graph (domain YOBM): ports, patches, connections, composite
// patches and the graph document. Registered at static initialisation; only the record store
// reads and writes them (saved documents keep them as they were).
//
//   MCMP { info: YUND PRMS, root: MCPT, (tag 0): string }
//   MCPT { spec, id, setn: any, ival: YUND PRMS }     MCMC { in, out: [MCPR], pats: [MCPT], cons: [MCCN],
//   setn: any } MCPR { key, name, type, min, max, labs: [string] }   MCCN { si, sp, di, dp }
class CPatchGraphTypes {
public:
    static constexpr uint32_t kMCPR = Fcc("MCPR");
    static constexpr uint32_t kMCPT = Fcc("MCPT");
    static constexpr uint32_t kMCCN = Fcc("MCCN");
    static constexpr uint32_t kMCMC = Fcc("MCMC");
    static constexpr uint32_t kMCMP = Fcc("MCMP");

    enum PortField : uint32_t { kPortKey, kPortName, kPortType, kPortMin, kPortMax, kPortLabels };
    enum PatchField : uint32_t { kPatchSpec, kPatchId, kPatchSettings, kPatchValues };
    enum ConnectionField : uint32_t { kConnSourceId, kConnSourcePort, kConnDestId, kConnDestPort };
    enum CompositeField : uint32_t { kCompIn, kCompOut, kCompPatches, kCompConnections, kCompSettings };
    enum GraphField : uint32_t { kGraphInfo, kGraphRoot, kGraphText };

    // The registered descriptor of one of the five codes; null for others.
    static const CRecordType* Type(uint32_t type);
};
