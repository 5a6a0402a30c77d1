#pragma once

#include "mail/pop3client.h"

#include <string>
#include <vector>

namespace veltrane::test {

// Every event the client raises, in order, as short texts ("Open", "NextInfoUpdated 0", "Error text").
class EventLog {
public:
    explicit EventLog(Pop3Client& client) {
        auto add = [this](std::string text) { events.push_back(std::move(text)); };
        QObject::connect(&client, &Pop3Client::OnOpen, [add] { add("Open"); });
        QObject::connect(&client, &Pop3Client::OnUpdatingInfo, [add] { add("UpdatingInfo"); });
        QObject::connect(&client, &Pop3Client::OnNextInfoUpdated,
                         [add](int i) { add("NextInfoUpdated " + std::to_string(i)); });
        QObject::connect(&client, &Pop3Client::OnInfoUpdated, [add] { add("InfoUpdated"); });
        QObject::connect(&client, &Pop3Client::OnClosing, [add] { add("Closing"); });
        QObject::connect(&client, &Pop3Client::OnClosed, [add] { add("Closed"); });
        QObject::connect(&client, &Pop3Client::OnCancel, [add] { add("Cancel"); });
        QObject::connect(&client, &Pop3Client::OnError, [add](std::string& text) { add("Error " + text); });
        QObject::connect(&client, &Pop3Client::OnTransferringData, [add] { add("TransferringData"); });
        QObject::connect(&client, &Pop3Client::OnDataTransfered, [add] { add("DataTransfered"); });
        QObject::connect(&client, &Pop3Client::OnRetrieving, [add](int i) { add("Retrieving " + std::to_string(i)); });
        QObject::connect(&client, &Pop3Client::OnRetrieved, [add](int i) { add("Retrieved " + std::to_string(i)); });
        QObject::connect(&client, &Pop3Client::OnUserMessageSave, [this, add](int i, const std::string& data) {
            saved.push_back(data);
            add("UserMessageSave " + std::to_string(i));
        });
        QObject::connect(&client, &Pop3Client::OnDeleting, [add](int i) { add("Deleting " + std::to_string(i)); });
    }

    std::vector<std::string> take() {
        std::vector<std::string> taken;
        taken.swap(events);
        return taken;
    }

    std::vector<std::string> events;
    std::vector<std::string> saved; // the data of every OnUserMessageSave
};

} // namespace veltrane::test
