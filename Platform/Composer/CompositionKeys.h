#pragma once

// Keys and constant values of composition files and of the dictionaries a composition answers.
// Platform/Composer/README.md describes them for composition authors.

namespace plat {

// Composition attributes (top level of the file, and Composition::Attributes()).
inline constexpr char kCompositionAttributeName[] = "name";
inline constexpr char kCompositionAttributeDescription[] = "description";
inline constexpr char kCompositionAttributeCategory[] = "category";
// Filled from the nodes; a file's own entries under these keys are replaced.
inline constexpr char kCompositionAttributeHasConsumers[] = "hasConsumers";
inline constexpr char kCompositionAttributeIsTimeDependent[] = "isTimeDependent";

// Values of the category attribute.
inline constexpr char kCompositionCategoryDistortion[] = "orbilume.category.distortion";
inline constexpr char kCompositionCategoryStylize[] = "orbilume.category.stylize";
inline constexpr char kCompositionCategoryUtility[] = "orbilume.category.utility";

// Top-level keys of the file that are not attributes.
inline constexpr char kCompositionFileProtocols[] = "protocols";
inline constexpr char kCompositionFilePortAttributes[] = "portAttributes";
inline constexpr char kCompositionFileRootPatch[] = "rootPatch";

// Protocols.
inline constexpr char kProtocolGraphicAnimation[] = "orbilume.protocol.graphicAnimation";
inline constexpr char kProtocolGraphicTransition[] = "orbilume.protocol.graphicTransition";
inline constexpr char kProtocolImageFilter[] = "orbilume.protocol.imageFilter";
inline constexpr char kProtocolScreenSaver[] = "orbilume.protocol.screenSaver";
inline constexpr char kProtocolMusicVisualizer[] = "orbilume.protocol.musicVisualizer";
inline constexpr char kProtocolRSSVisualizer[] = "QCCompositionProtocolRSSVisualizer";

// Published port keys with a meaning to hosts.
inline constexpr char kProtocolInputImage[] = "_protocolInput_Image";
inline constexpr char kProtocolInputSourceImage[] = "_protocolInput_SourceImage";
inline constexpr char kProtocolInputDestinationImage[] = "_protocolInput_DestinationImage";
inline constexpr char kProtocolInputProgress[] = "_protocolInput_Progress";
inline constexpr char kProtocolInputAudioSpectrum[] = "_protocolInput_AudioSpectrum";
inline constexpr char kProtocolInputAudioPeak[] = "_protocolInput_AudioPeak";
inline constexpr char kProtocolInputPace[] = "_protocolInput_Pace";
inline constexpr char kProtocolOutputImage[] = "_protocolOutput_Image";

// Per-port attribute dictionaries (Composition::PortAttributes(), node port specs, and the
// published port entries of a file, which may override all but the type).
inline constexpr char kPortAttributeType[] = "type";
inline constexpr char kPortAttributeName[] = "name";
inline constexpr char kPortAttributeDefault[] = "default";
inline constexpr char kPortAttributeMinimum[] = "min";
inline constexpr char kPortAttributeMaximum[] = "max";
inline constexpr char kPortAttributeMenuItems[] = "menuItems";

// Values of the type attribute.
inline constexpr char kPortTypeBoolean[] = "boolean";
inline constexpr char kPortTypeIndex[] = "index";
inline constexpr char kPortTypeNumber[] = "number";
inline constexpr char kPortTypeString[] = "string";
inline constexpr char kPortTypeColor[] = "color";
inline constexpr char kPortTypeImage[] = "image";
inline constexpr char kPortTypeStructure[] = "structure";

// The graph under rootPatch.
inline constexpr char kGraphState[] = "state";
inline constexpr char kGraphNodes[] = "nodes";
inline constexpr char kGraphConnections[] = "connections";
inline constexpr char kGraphPublishedInputs[] = "publishedInputPorts";
inline constexpr char kGraphPublishedOutputs[] = "publishedOutputPorts";
inline constexpr char kNodeKey[] = "key";
inline constexpr char kNodeClass[] = "class";
inline constexpr char kNodeState[] = "state";
// Input values of a node, inside its state: port key -> value.
inline constexpr char kNodeInputValues[] = "inputValues";
inline constexpr char kConnectionSourceNode[] = "sourceNode";
inline constexpr char kConnectionSourcePort[] = "sourcePort";
inline constexpr char kConnectionDestinationNode[] = "destinationNode";
inline constexpr char kConnectionDestinationPort[] = "destinationPort";
inline constexpr char kPublishedPortKey[] = "key";
inline constexpr char kPublishedPortNode[] = "node";
inline constexpr char kPublishedPortNodePort[] = "port";

// The renderer's user information key under which hosts store their GL context (a pointer value).
inline constexpr char kUserInfoHostContext[] = "lumetra.ctx";

}  // namespace plat
