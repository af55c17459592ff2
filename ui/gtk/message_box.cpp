#include "ui/gtk/gtk_dialogs.h"

namespace cmp {

namespace {

struct IconChoice {
    GtkMessageType messageType;
    const char* iconName;  // null: no icon
};

IconChoice IconFor(std::uint32_t type) {
    switch (type & 0xF0u) {  // the icon bits of a Win32 message box type
        case 0x10:
            return {GTK_MESSAGE_ERROR, "dialog-error"};
        case 0x20:
            return {GTK_MESSAGE_QUESTION, "dialog-question"};
        case 0x30:
            return {GTK_MESSAGE_WARNING, "dialog-warning"};
        case 0x40:
            return {GTK_MESSAGE_INFO, "dialog-information"};
        default:
            return {GTK_MESSAGE_OTHER, nullptr};
    }
}

// The icon at dialog size; icon themes that no longer ship the full-colour image
// still have the symbolic one.
GtkWidget* DialogIcon(const char* iconName) {
    const std::string symbolic = std::string(iconName) + "-symbolic";
    const char* names[] = {iconName, symbolic.c_str(), nullptr};
    GIcon* icon = g_themed_icon_new_from_names(const_cast<char**>(names), -1);
    GtkWidget* image = gtk_image_new_from_gicon(icon, GTK_ICON_SIZE_DIALOG);
    g_object_unref(icon);
    gtk_widget_set_valign(image, GTK_ALIGN_START);
    return image;
}

}  // namespace

void ShowGtkMessageBox(GtkWindow* parent, const std::string& text, const std::string& caption,
                       std::uint32_t type) {
    const IconChoice choice = IconFor(type);
    const std::string shownText = DisplayText(text);
    ToplevelGuard dialog(gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, choice.messageType,
                                                GTK_BUTTONS_OK, "%s", shownText.c_str()));
    GtkWindow* window = GTK_WINDOW(dialog.widget());
    gtk_window_set_title(window, DisplayText(caption).c_str());
    gtk_window_set_position(window,
                            parent != nullptr ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    if (choice.iconName != nullptr) {
        // GTK 3 hides the message dialog's own icon; the only way to show one in it is
        // the deprecated image slot, which GTK 3 keeps working.
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(window), DialogIcon(choice.iconName));
        G_GNUC_END_IGNORE_DEPRECATIONS
    }
    gtk_widget_show_all(dialog.widget());
    gtk_window_present(window);
    gtk_dialog_run(GTK_DIALOG(window));
}

}  // namespace cmp
