// The form player: runs a form resource's record stream against the host,
// creating the form window and its controls and setting their properties.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/host/form_script.h"

namespace host {

struct FontSpec {
  int height = 0;  // negative: character height
  int weight = 400;
  bool italic = false, underline = false, strikeOut = false;
  std::string face;  // CP932; "FixedSys" stands for the display's fixed-pitch Japanese font
  int charset = 1;
  int pitchAndFamily = 0;
};

// What the player sets on a window it created.
struct FormWindow {
  int kind = -1;  // 0 form, 3 to 18 controls
  uint32_t parent = 0;
  std::string className, title, controlName;
  uint32_t style = 0, exStyle = 0;
  int x = 0, y = 0, width = 0, height = 0;
  bool disabled = false, copyCommands = false, yFlip = false;
  int redrawMode = 0, mapMode = 0;
  int textColor = 7, foreColor = 15, backColor = 0, attribute = 4;
  int columns = 80, rows = 24;
  FontSpec font;
  bool hasFont = false;
  std::vector<std::pair<int, std::string>> declaredEvents;
  std::vector<std::pair<int, void*>> boundEvents;  // event kind, handler
  int64_t controlValue = 0;
};

// The host side of the player.
class FormHost {
 public:
  virtual ~FormHost() = default;
  virtual bool ClassExists(const std::string& name) = 0;
  // A form's class: the run-time's window procedure, the icon resource of
  // that name ("" or a missing one: the standard application icon), a white
  // background.
  virtual bool RegisterClass(const std::string& name, void* procedure, const std::string& icon) = 0;
  // Creates a window of the kind; 0 when it cannot be created.
  virtual uint32_t CreateWindow(int kind, const std::string& className, uint32_t parent, uint32_t style,
                                uint32_t exStyle) = 0;
  virtual FormWindow* WindowRecord(uint32_t handle) = 0;
  // The record changed: show the change on the real window.
  virtual void Apply(uint32_t /*handle*/) {}
  virtual int64_t SendMessage(uint32_t handle, uint32_t message, uint64_t wParam, int64_t lParam) = 0;
  // A symbol of the program image by name (the window procedure, handlers).
  virtual void* LookupSymbol(const std::string& name) = 0;
  virtual void MessageBox(const std::string& caption, const std::string& text) = 0;
  // The window size that shows the whole text grid of a form.
  virtual std::pair<int, int> FullWindowSize(uint32_t handle) = 0;
};

// Combines a show command with the one a form asks for.
int CombineShowCommand(int current, int requested);

// LoadForm: finds the resource (failure 1012), plays it from offset 6 and
// returns the form window, or 0 with the failure code.
uint32_t LoadForm(FormHost& host, const std::vector<Resource>& resources, const std::string& name,
                  int& showCommand, int& failure);

// Nested blocks (opcode 1) deeper than this fail the load like an unknown
// record: a form has a handful of levels, and each costs stack.
inline constexpr int kMaxFormNesting = 32;

// Plays a record stream; returns the position after its end opcode, or null
// on failure (the failure code is set). depth counts the enclosing blocks.
const uint8_t* PlayScript(FormHost& host, const uint8_t* records, const uint8_t* end, uint32_t parent,
                          uint32_t& form, int& showCommand, int& failure, int depth = 0);

}  // namespace host
