// Node classes of the filter's own small XML DOM. A Document owns its tree:
// every container owns its children (and an Element its attributes).
// Strings are narrow byte strings.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace AdvXMLParser {

class Node {
 public:
  Node(std::string name, Node* parent);
  virtual ~Node();
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  virtual std::string GetValue() const = 0;
  virtual std::string GetText() const = 0;
  virtual bool IsType(int code) const = 0;
  virtual Node* Clone(Node* newParent) const = 0;

  std::string name;
  Node* parent;  // never owning
};

class NodeContainer : public Node {
 public:
  using Node::Node;
  ~NodeContainer() override;

  std::vector<Node*> children;  // owned, in document order
  class Text* lastText = nullptr;
};

class Attribute;

class Element : public NodeContainer {
 public:
  Element(std::string name, Node* parent);
  ~Element() override;
  std::string GetValue() const override;
  std::string GetText() const override;  // marked-up flattening
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;

  std::vector<Attribute*> attributes;  // owned, in the order written
};

class Attribute : public NodeContainer {
 public:
  Attribute(std::string name, Node* parent);
  std::string GetValue() const override;
  std::string GetText() const override;  // children's text, trimmed
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
};

// Character data nodes: Text (3), CData (4), Comment (8), Pi (7).
class Text : public Node {
 public:
  Text(Node* parent, std::string value);
  std::string GetValue() const override;
  std::string GetText() const override;
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
  std::string value;
};

class CData : public Node {
 public:
  CData(Node* parent, std::string value);
  std::string GetValue() const override;
  std::string GetText() const override;
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
  std::string value;
};

class Comment : public Node {
 public:
  Comment(Node* parent, std::string value);
  std::string GetValue() const override;
  std::string GetText() const override;
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
  std::string value;
};

class Pi : public Node {
 public:
  Pi(std::string target, Node* parent, std::string value);
  std::string GetValue() const override;
  std::string GetText() const override;
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
  std::string value;
};

class Reference : public Node {
 public:
  Reference(std::string name, Node* parent, char value);
  bool IsType(int code) const override;
  char value;
};

class CharRef : public Reference {
 public:
  CharRef(Node* parent, char value);
  std::string GetValue() const override;
  std::string GetText() const override;
  Node* Clone(Node* newParent) const override;
};

class EntityRef : public Reference {
 public:
  EntityRef(std::string entityName, Node* parent);
  std::string GetValue() const override;
  std::string GetText() const override;
  Node* Clone(Node* newParent) const override;
};

class Document : public NodeContainer {
 public:
  Document();
  std::string GetValue() const override;
  std::string GetText() const override;
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;

  std::string version = "1.0";
  std::string encoding = "UTF-8";
  char standalone = 1;
  Element* root = nullptr;                      // also held as a child
  std::map<std::string, std::string> entities;  // internal general entities
  Document* owner = this;
};

// The five permanent null nodes, and the test for them.
Element& NullElement();
bool IsNull(const Node* node);

void AppendChild(NodeContainer& container, Node* child);
void AddText(NodeContainer& container, const std::string& text);
std::string FirstChildValue(const NodeContainer& container);
void CollapseWhitespace(std::string& s);
int DecodePredefinedReferences(const char* src, std::size_t length, char* dst);

}  // namespace AdvXMLParser
