#include "ui/gtk/gtk_dialogs.h"

#include "ui/gtk/gtk_user_interface.h"

namespace cmp {

namespace {

// 220 x 164 dialog units at the 8-point dialog font of the original template.
constexpr int DialogWidth = 330;
constexpr int DialogHeight = 266;

// Escape and Enter end the dialog wherever the focus is, as in a Win32 dialog, where a
// tree view hands both keys to the dialog. Catching them before the focused widget sees
// them keeps the tree view from taking Enter as a row activation.
gboolean OnKeyPress(GtkWidget* dialog, GdkEventKey* event, gpointer) {
    switch (event->keyval) {
        case GDK_KEY_Escape:
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
            return TRUE;
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter:
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
            return TRUE;
        default:
            return FALSE;
    }
}

GtkWidget* NewTreeView(GtkTreeStore* store) {
    GtkWidget* view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    GtkTreeView* treeView = GTK_TREE_VIEW(view);
    gtk_tree_view_insert_column_with_attributes(treeView, -1, "Node", gtk_cell_renderer_text_new(),
                                                "text", NodeNameColumn, nullptr);
    gtk_tree_view_set_headers_visible(treeView, FALSE);
    gtk_tree_view_set_enable_tree_lines(treeView, TRUE);
    gtk_tree_view_collapse_all(treeView);
    return view;
}

// The dialog without its tree: title, size, position, the frame for the view and the
// "Continue" button.
GtkWidget* NewResultDialog(const std::string& caption, GtkWidget** scrolledWindow,
                           GtkWidget** continueButton) {
    GtkWidget* dialog = gtk_dialog_new();
    GtkWindow* window = GTK_WINDOW(dialog);
    gtk_window_set_title(window, DisplayText(caption).c_str());
    gtk_window_set_modal(window, TRUE);
    gtk_window_set_default_size(window, DialogWidth, DialogHeight);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    g_signal_connect(dialog, "key-press-event", G_CALLBACK(OnKeyPress), nullptr);

    *scrolledWindow = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(*scrolledWindow), GTK_SHADOW_IN);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(*scrolledWindow), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_widget_set_vexpand(*scrolledWindow, TRUE);
    gtk_widget_set_margin_start(*scrolledWindow, 8);
    gtk_widget_set_margin_end(*scrolledWindow, 8);
    gtk_widget_set_margin_top(*scrolledWindow, 8);
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_box_pack_start(GTK_BOX(content), *scrolledWindow, TRUE, TRUE, 0);

    // A plain button, not the default one: Enter is handled for the whole dialog.
    *continueButton = gtk_dialog_add_button(GTK_DIALOG(dialog), "Continue", GTK_RESPONSE_CANCEL);
    GtkWidget* actionArea = gtk_widget_get_parent(*continueButton);
    if (GTK_IS_BUTTON_BOX(actionArea)) {
        gtk_button_box_set_layout(GTK_BUTTON_BOX(actionArea), GTK_BUTTONBOX_CENTER);
    }
    return dialog;
}

}  // namespace

void RunGtkResultDialog(const std::string& caption,
                        const std::function<const NodeTree*()>& initialise) {
    GtkWidget* scrolledWindow = nullptr;
    GtkWidget* continueButton = nullptr;
    ToplevelGuard dialog(NewResultDialog(caption, &scrolledWindow, &continueButton));

    const NodeTree* tree = initialise ? initialise() : nullptr;
    if (tree == nullptr) {
        return;  // the guard destroys the dialog, which was never shown
    }
    // The store is filled before the view sees it: no row signals while thousands of
    // rows go in.
    GtkTreeStore* store = NewNodeNameStore();
    MirrorNodeTree(store, *tree);
    gtk_container_add(GTK_CONTAINER(scrolledWindow), NewTreeView(store));
    g_object_unref(store);  // the view holds it now

    // Focus goes to "Continue" before the window is mapped: a mapped window without a
    // focus widget gives it to the tree view, which then selects its first row.
    gtk_widget_show_all(scrolledWindow);
    gtk_widget_grab_focus(continueButton);
    gtk_window_present(GTK_WINDOW(dialog.widget()));
    gtk_dialog_run(GTK_DIALOG(dialog.widget()));
}

}  // namespace cmp
