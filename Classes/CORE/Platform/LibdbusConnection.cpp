#include "CORE/Platform/LibdbusConnection.h"

#include <dbus/dbus.h>
#include <unistd.h>

#include <cstring>

namespace kestrin {

namespace {

bool Append(DBusMessageIter* iter, const DbusValue& value);

bool AppendBasic(DBusMessageIter* iter, const DbusValue& value) {
    switch (value.type) {
        case 'y': {
            unsigned char v = static_cast<unsigned char>(value.number);
            return dbus_message_iter_append_basic(iter, DBUS_TYPE_BYTE, &v);
        }
        case 'b': {
            dbus_bool_t v = value.number ? TRUE : FALSE;
            return dbus_message_iter_append_basic(iter, DBUS_TYPE_BOOLEAN, &v);
        }
        case 'n':
        case 'q': {
            dbus_uint16_t v = static_cast<dbus_uint16_t>(value.number);
            return dbus_message_iter_append_basic(iter, value.type, &v);
        }
        case 'i':
        case 'u': {
            dbus_uint32_t v = static_cast<dbus_uint32_t>(value.number);
            return dbus_message_iter_append_basic(iter, value.type, &v);
        }
        case 'x':
        case 't': {
            dbus_uint64_t v = value.number;
            return dbus_message_iter_append_basic(iter, value.type, &v);
        }
        case 'd': {
            double v = value.real;
            return dbus_message_iter_append_basic(iter, DBUS_TYPE_DOUBLE, &v);
        }
        case 's':
        case 'o':
        case 'g': {
            const char* v = value.text.c_str();
            return dbus_message_iter_append_basic(iter, value.type, &v);
        }
        default: return false;
    }
}

bool AppendContainer(DBusMessageIter* iter, const DbusValue& value, int type, const char* signature) {
    DBusMessageIter sub;
    if (!dbus_message_iter_open_container(iter, type, signature, &sub)) return false;
    for (const DbusValue& item : value.items) {
        if (!Append(&sub, item)) {
            dbus_message_iter_abandon_container(iter, &sub);
            return false;
        }
    }
    return dbus_message_iter_close_container(iter, &sub);
}

bool Append(DBusMessageIter* iter, const DbusValue& value) {
    switch (value.type) {
        case 'a': return AppendContainer(iter, value, DBUS_TYPE_ARRAY, value.text.c_str());
        case '(': return AppendContainer(iter, value, DBUS_TYPE_STRUCT, nullptr);
        case '{': return AppendContainer(iter, value, DBUS_TYPE_DICT_ENTRY, nullptr);
        case 'v': {
            if (value.items.size() != 1) return false;
            const std::string inner = value.items[0].Signature();
            return AppendContainer(iter, value, DBUS_TYPE_VARIANT, inner.c_str());
        }
        default: return AppendBasic(iter, value);
    }
}

// libdbus has checked the message's nesting against the bus limits before it gets here.
DbusValue Read(DBusMessageIter* iter) {
    DbusValue value;
    const int type = dbus_message_iter_get_arg_type(iter);
    value.type = static_cast<char>(type);
    switch (type) {
        case DBUS_TYPE_BYTE: {
            unsigned char v = 0;
            dbus_message_iter_get_basic(iter, &v);
            value.number = v;
            break;
        }
        case DBUS_TYPE_BOOLEAN: {
            dbus_bool_t v = FALSE;
            dbus_message_iter_get_basic(iter, &v);
            value.number = v ? 1 : 0;
            break;
        }
        case DBUS_TYPE_INT16: {
            dbus_int16_t v = 0;
            dbus_message_iter_get_basic(iter, &v);
            value.number = static_cast<uint64_t>(static_cast<int64_t>(v));
            break;
        }
        case DBUS_TYPE_UINT16: {
            dbus_uint16_t v = 0;
            dbus_message_iter_get_basic(iter, &v);
            value.number = v;
            break;
        }
        case DBUS_TYPE_INT32: {
            dbus_int32_t v = 0;
            dbus_message_iter_get_basic(iter, &v);
            value.number = static_cast<uint64_t>(static_cast<int64_t>(v));
            break;
        }
        case DBUS_TYPE_UINT32: {
            dbus_uint32_t v = 0;
            dbus_message_iter_get_basic(iter, &v);
            value.number = v;
            break;
        }
        case DBUS_TYPE_INT64:
        case DBUS_TYPE_UINT64: {
            dbus_uint64_t v = 0;
            dbus_message_iter_get_basic(iter, &v);
            value.number = v;
            break;
        }
        case DBUS_TYPE_DOUBLE: {
            double v = 0;
            dbus_message_iter_get_basic(iter, &v);
            value.real = v;
            break;
        }
        case DBUS_TYPE_STRING:
        case DBUS_TYPE_OBJECT_PATH:
        case DBUS_TYPE_SIGNATURE: {
            const char* v = nullptr;
            dbus_message_iter_get_basic(iter, &v);
            if (v) value.text = v;
            break;
        }
        case DBUS_TYPE_UNIX_FD: {
            // Reading one duplicates the descriptor; nobody here wants it.
            int fd = -1;
            dbus_message_iter_get_basic(iter, &fd);
            if (fd >= 0) close(fd);
            break;
        }
        case DBUS_TYPE_ARRAY: {
            if (char* signature = dbus_message_iter_get_signature(iter)) {
                value.text = signature[0] ? signature + 1 : "";
                dbus_free(signature);
            }
            [[fallthrough]];
        }
        case DBUS_TYPE_STRUCT:
        case DBUS_TYPE_DICT_ENTRY:
        case DBUS_TYPE_VARIANT: {
            DBusMessageIter sub;
            dbus_message_iter_recurse(iter, &sub);
            while (dbus_message_iter_get_arg_type(&sub) != DBUS_TYPE_INVALID) {
                value.items.push_back(Read(&sub));
                dbus_message_iter_next(&sub);
            }
            if (type == DBUS_TYPE_STRUCT) value.type = '(';
            if (type == DBUS_TYPE_DICT_ENTRY) value.type = '{';
            break;
        }
        default: value.type = 0; break;
    }
    return value;
}

std::vector<DbusValue> ReadArgs(DBusMessage* message) {
    std::vector<DbusValue> args;
    DBusMessageIter iter;
    if (!dbus_message_iter_init(message, &iter)) return args;
    while (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_INVALID) {
        args.push_back(Read(&iter));
        dbus_message_iter_next(&iter);
    }
    return args;
}

DBusMessage* NewCall(const SDbusMessage& call) {
    DBusMessage* message =
        dbus_message_new_method_call(call.destination.empty() ? nullptr : call.destination.c_str(), call.path.c_str(),
                                     call.interface.empty() ? nullptr : call.interface.c_str(), call.member.c_str());
    if (!message) return nullptr;
    DBusMessageIter iter;
    dbus_message_iter_init_append(message, &iter);
    for (const DbusValue& arg : call.args) {
        if (!Append(&iter, arg)) {
            dbus_message_unref(message);
            return nullptr;
        }
    }
    return message;
}

bool Valid(const SDbusMessage& call) {
    // libdbus aborts the program on a malformed name rather than report it.
    return dbus_validate_path(call.path.c_str(), nullptr) && dbus_validate_member(call.member.c_str(), nullptr) &&
           (call.interface.empty() || dbus_validate_interface(call.interface.c_str(), nullptr)) &&
           (call.destination.empty() || dbus_validate_bus_name(call.destination.c_str(), nullptr));
}

}  // namespace

std::unique_ptr<LibdbusConnection> LibdbusConnection::Open(const std::string& address, int timeoutMs,
                                                           std::string& error) {
    if (address.compare(0, 5, "unix:") != 0) {
        error = "not a local address: " + address;
        return nullptr;
    }
    DBusError err;
    dbus_error_init(&err);
    DBusConnection* connection = dbus_connection_open_private(address.c_str(), &err);
    if (!connection) {
        error = err.message ? err.message : "cannot connect";
        dbus_error_free(&err);
        return nullptr;
    }
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    std::unique_ptr<LibdbusConnection> result(new LibdbusConnection(connection));
    // The bus hands out our name; this is also where a bus that does not answer shows.
    SDbusMessage hello{"org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "Hello", {}};
    std::vector<DbusValue> reply;
    const EDbusReply answer = result->Call(hello, timeoutMs, reply);
    if (answer != EDbusReply::Replied) {
        error = answer == EDbusReply::TimedOut ? "the bus did not answer in time" : "the bus refused the connection";
        return nullptr;
    }
    return result;
}

LibdbusConnection::~LibdbusConnection() {
    if (!m_connection) return;
    dbus_connection_close(m_connection);
    dbus_connection_unref(m_connection);
}

EDbusReply LibdbusConnection::Call(const SDbusMessage& call, int timeoutMs, std::vector<DbusValue>& reply) {
    reply.clear();
    if (!IsConnected() || !Valid(call)) return EDbusReply::Failed;
    DBusMessage* message = NewCall(call);
    if (!message) return EDbusReply::Failed;
    DBusPendingCall* pending = nullptr;
    const bool sent = dbus_connection_send_with_reply(m_connection, message, &pending, timeoutMs > 0 ? timeoutMs : 1);
    dbus_message_unref(message);
    if (!sent || !pending) return EDbusReply::Failed;
    dbus_pending_call_block(pending);
    DBusMessage* answer = dbus_pending_call_steal_reply(pending);
    dbus_pending_call_unref(pending);
    if (!answer) return EDbusReply::TimedOut;
    EDbusReply result = EDbusReply::Replied;
    if (dbus_message_get_type(answer) == DBUS_MESSAGE_TYPE_ERROR) {
        const char* name = dbus_message_get_error_name(answer);
        // libdbus makes this error itself when the time is up.
        result = name && std::strcmp(name, DBUS_ERROR_NO_REPLY) == 0 ? EDbusReply::TimedOut : EDbusReply::Failed;
    } else {
        reply = ReadArgs(answer);
    }
    dbus_message_unref(answer);
    return result;
}

bool LibdbusConnection::Send(const SDbusMessage& call) {
    if (!IsConnected() || !Valid(call)) return false;
    DBusMessage* message = NewCall(call);
    if (!message) return false;
    dbus_message_set_no_reply(message, TRUE);
    const bool sent = dbus_connection_send(m_connection, message, nullptr);
    dbus_message_unref(message);
    // Writes what the socket takes now; never waits for a peer that reads nothing.
    dbus_connection_read_write(m_connection, 0);
    return sent;
}

bool LibdbusConnection::TakeSignal(SDbusMessage& out) {
    if (!m_connection) return false;
    dbus_connection_read_write(m_connection, 0);
    while (DBusMessage* message = dbus_connection_pop_message(m_connection)) {
        const bool isSignal = dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_SIGNAL;
        if (isSignal) {
            const char* path = dbus_message_get_path(message);
            const char* interface = dbus_message_get_interface(message);
            const char* member = dbus_message_get_member(message);
            out = SDbusMessage();
            out.path = path ? path : "";
            out.interface = interface ? interface : "";
            out.member = member ? member : "";
            out.args = ReadArgs(message);
        }
        dbus_message_unref(message);
        if (isSignal) return true;
    }
    return false;
}

bool LibdbusConnection::IsConnected() { return m_connection && dbus_connection_get_is_connected(m_connection); }

}  // namespace kestrin
