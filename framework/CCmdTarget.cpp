#include "framework/CCmdTarget.h"

namespace drel {

int CCmdTarget::s_currentCommand = 0;

MessageMap::MessageMap(const MessageMap* base, std::initializer_list<MessageMapEntry> entries)
    : m_pBase(base), m_entries(entries) {}

const MessageMapEntry* MessageMap::Find(int id, MessageMapEntry::Kind kind) const {
    for (const MessageMap* map = this; map != nullptr; map = map->m_pBase) {
        for (const MessageMapEntry& entry : map->m_entries) {
            if (entry.kind == kind && id >= entry.firstId && id <= entry.lastId) {
                return &entry;
            }
        }
    }
    return nullptr;
}

const MessageMap* CCmdTarget::GetMessageMap() const {
    static const MessageMap empty(nullptr, {});
    return &empty;
}

bool CCmdTarget::OnCmdMsg(int id, CmdMsg code, CCmdUI* pCmdUI) {
    const MessageMap* map = GetMessageMap();
    switch (code) {
        case CmdMsg::Probe:
            return map->Find(id, MessageMapEntry::Kind::Command) != nullptr;
        case CmdMsg::Update: {
            const MessageMapEntry* entry = map->Find(id, MessageMapEntry::Kind::UpdateUI);
            if (entry == nullptr || pCmdUI == nullptr) {
                return false;
            }
            entry->call(*this, id, pCmdUI);
            return true;
        }
        case CmdMsg::Execute: {
            const MessageMapEntry* entry = map->Find(id, MessageMapEntry::Kind::Command);
            if (entry == nullptr) {
                return false;
            }
            // The handler may end this object (a document's Close): nothing touches it after.
            const int outer = s_currentCommand;
            s_currentCommand = id;
            entry->call(*this, id, nullptr);
            s_currentCommand = outer;
            return true;
        }
    }
    return false;
}

}  // namespace drel
