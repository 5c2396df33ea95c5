#pragma once

// An object that commands can be routed to, with its message map.
//
// A message map binds command ids to member functions: a command handler runs the command, an
// update handler sets the state of its menu items and buttons (CCmdUI). A class lists its
// entries by overriding GetMessageMap, chaining to its base class's map:
//
//   const MessageMap* CMyView::GetMessageMap() const {
//       static const MessageMap map(CEditView::GetMessageMap(),
//                                   {MapCommand(ID_MY_COMMAND, &CMyView::OnMyCommand),
//                                    MapUpdateUI(ID_MY_COMMAND, &CMyView::OnUpdateMyCommand)});
//       return &map;
//   }
//
// Entries of a class come before those of its base, so a class can take over a command. The
// frames route every command through OnCmdMsg: the active view, its document, its child frame,
// the main frame and last the application (see CFrameWnd). User-interface thread only.

#include <functional>
#include <initializer_list>
#include <vector>

#include "framework/CCmdUI.h"

namespace drel {

class CCmdTarget;

// What OnCmdMsg is asked to do with a command.
enum class CmdMsg {
    Execute,  // run the command's handler
    Update,   // run the command's update handler with the CCmdUI given
    Probe,    // only say whether a handler for the command exists
};

struct MessageMapEntry {
    enum class Kind { Command, UpdateUI };
    int firstId;
    int lastId;
    Kind kind;
    std::function<void(CCmdTarget&, int id, CCmdUI* pCmdUI)> call;
};

class MessageMap {
  public:
    // A map whose `entries` come before those of `base` (may be null).
    MessageMap(const MessageMap* base, std::initializer_list<MessageMapEntry> entries);

    // The first entry of `kind` for `id`, in this map or its bases; null when none.
    const MessageMapEntry* Find(int id, MessageMapEntry::Kind kind) const;

  private:
    const MessageMap* m_pBase;
    std::vector<MessageMapEntry> m_entries;
};

class CCmdTarget {
  public:
    virtual ~CCmdTarget() = default;

    // Looks `id` up in this object's message map and does what `code` asks: runs the command
    // handler (Execute), runs the update handler with `pCmdUI` (Update) or only looks for a
    // command handler (Probe). Returns true when the map had a matching entry. Classes that
    // pass commands on (views, frames) override it to extend the route.
    virtual bool OnCmdMsg(int id, CmdMsg code, CCmdUI* pCmdUI);

  protected:
    // The class's message map. The base map is empty.
    virtual const MessageMap* GetMessageMap() const;

    // The id of the command whose handler is running, so that one handler can serve several
    // commands; 0 outside a handler.
    static int GetCurrentCommandId() { return s_currentCommand; }

    // Message map entries. `T` is the class that declares the handler.
    template <class T>
    static MessageMapEntry MapCommand(int id, void (T::*handler)()) {
        return {
            id, id, MessageMapEntry::Kind::Command,
            [handler](CCmdTarget& target, int, CCmdUI*) { (static_cast<T&>(target).*handler)(); }};
    }
    // Binds ids `firstId`..`lastId`; the handler gets the id.
    template <class T>
    static MessageMapEntry MapCommandRange(int firstId, int lastId, void (T::*handler)(int)) {
        return {firstId, lastId, MessageMapEntry::Kind::Command,
                [handler](CCmdTarget& target, int id, CCmdUI*) {
                    (static_cast<T&>(target).*handler)(id);
                }};
    }
    template <class T>
    static MessageMapEntry MapUpdateUI(int id, void (T::*handler)(CCmdUI&)) {
        return MapUpdateUIRange(id, id, handler);
    }
    template <class T>
    static MessageMapEntry MapUpdateUIRange(int firstId, int lastId, void (T::*handler)(CCmdUI&)) {
        return {firstId, lastId, MessageMapEntry::Kind::UpdateUI,
                [handler](CCmdTarget& target, int, CCmdUI* pCmdUI) {
                    (static_cast<T&>(target).*handler)(*pCmdUI);
                }};
    }

  private:
    static int s_currentCommand;
};

}  // namespace drel
