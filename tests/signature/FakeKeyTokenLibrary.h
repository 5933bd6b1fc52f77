#pragma once
// A token library for tests: keys are placed on any port in memory, and every
// call is recorded so that tests can see which ports were probed and with what
// the sub-key was asked for.

#include "KeyToken.h"

#include <QByteArray>
#include <algorithm>
#include <map>
#include <vector>

class FakeKeyTokenLibrary : public signature::KeyTokenLibrary
{
public:
    struct SubKey {
        int32_t number = signature::kSecretKeySubKeyNumber;
        QByteArray name;
        QByteArray password;
        QByteArray data; // copied into the area as is; the rest of the area is untouched
    };
    struct Key {
        signature::KeyId id{};
        QByteArray scratchPad;
        std::vector<SubKey> subKeys;
    };
    struct SubKeyCall {
        signature::KeyPort port;
        signature::KeyId id;
        QByteArray password;
        QByteArray name;
        int32_t number;
    };

    void place(signature::KeyPort port, Key key)
    {
        m_keys[{port.type, port.number}] = std::move(key);
    }

    const std::vector<signature::KeyPort>& probed() const { return m_probed; }
    const std::vector<SubKeyCall>& subKeyCalls() const { return m_subKeyCalls; }

    int32_t tmcKeyReadScratchPad(int32_t portType, int32_t portNumber,
                                 std::span<uint8_t, signature::kKeyIdSize> keyId,
                                 std::span<uint8_t, signature::kScratchPadSize> scratchPad) override
    {
        m_probed.push_back({portType, portNumber});
        const Key* key = find(portType, portNumber);
        if (!key)
            return 0;
        std::copy(key->id.begin(), key->id.end(), keyId.begin());
        std::copy_n(key->scratchPad.begin(),
                    std::min<std::size_t>(scratchPad.size(), key->scratchPad.size()),
                    scratchPad.begin());
        return 1;
    }

    int32_t tmcKeyReadSubkey(int32_t portType, int32_t portNumber,
                             std::span<const uint8_t, signature::kKeyIdSize> keyId,
                             const char* password, const char* subKeyName, int32_t subKeyNumber,
                             std::span<uint8_t, signature::kSubKeyAreaSize> subKey) override
    {
        SubKeyCall call{{portType, portNumber}, {}, password, subKeyName, subKeyNumber};
        std::copy(keyId.begin(), keyId.end(), call.id.begin());
        m_subKeyCalls.push_back(call);
        const Key* key = find(portType, portNumber);
        if (!key || key->id != call.id)
            return 0;
        for (const SubKey& s : key->subKeys) {
            if (s.number == subKeyNumber && s.name == call.name && s.password == call.password) {
                std::copy_n(s.data.begin(), std::min<std::size_t>(subKey.size(), s.data.size()),
                            subKey.begin());
                return 1;
            }
        }
        return 0;
    }

private:
    const Key* find(int32_t type, int32_t number) const
    {
        auto it = m_keys.find({type, number});
        return it == m_keys.end() ? nullptr : &it->second;
    }

    std::map<std::pair<int32_t, int32_t>, Key> m_keys;
    std::vector<signature::KeyPort> m_probed;
    std::vector<SubKeyCall> m_subKeyCalls;
};
