#pragma once

#include <memory>

namespace plat {

class NodeInstance;
struct GraphNode;

// The running side of the built-in node classes (BuiltinNodeClasses.h names them).
std::unique_ptr<NodeInstance> MakeClearNode(const GraphNode& node);
std::unique_ptr<NodeInstance> MakeShaderNode(const GraphNode& node, bool intoImage);
std::unique_ptr<NodeInstance> MakeImageDrawNode(const GraphNode& node);
std::unique_ptr<NodeInstance> MakeSplitterNode(const GraphNode& node);
std::unique_ptr<NodeInstance> MakeColorFillNode(const GraphNode& node);
std::unique_ptr<NodeInstance> MakeCrossfadeNode(const GraphNode& node);
std::unique_ptr<NodeInstance> MakeHostDrawNode(const GraphNode& node);
std::unique_ptr<NodeInstance> MakeLfoNode(const GraphNode& node);
std::unique_ptr<NodeInstance> MakeColorComposeNode(const GraphNode& node);

}  // namespace plat
