pragma Singleton
import QtQuick

// The front end's colours, font sizes and shared spacings, named by what they are for. Every
// file takes them from here, so a colour or a size is changed in one place.
QtObject {
    // The window and what is drawn over the sector image.
    readonly property color windowBackground: "black"
    readonly property color overlayText: "white"
    readonly property color overlayLine: "lightblue"
    readonly property color dividerTop: "white"
    readonly property color replayValueText: "#00aaff"
    readonly property color stepButtonHover: "red"
    readonly property color statusBoxBackground: Qt.rgba(1, 1, 1, 0.1)
    readonly property color statusText: "#ffff00"
    readonly property color busyMask: "lightgrey"

    // The program's dark blue: the settings title bar, the replay bar, and text on light faces.
    readonly property color primaryDark: "#001d41"
    // Text and marks on the dark bars and on the window.
    readonly property color textOnDark: "white"
    // Entered text, and text that is not a valid entry.
    readonly property color inputText: "blue"
    readonly property color textInvalid: "red"

    // Footer bar and its tips list; the divider of the window fades into the footer's colour.
    readonly property color footerBackground: "#4b627f"
    readonly property color separatorDark: "#334e70"
    readonly property color separatorLight: "#687e9a"
    readonly property color tipsBorder: "lightgray"
    readonly property color tipsEvenBackground: "#5b627f"
    readonly property color tipsOddBackground: "#5b626f"

    // Settings panel.
    readonly property color settingBackground: "#729cd1"
    readonly property color settingContent: Qt.rgba(197 / 255, 221 / 255, 255 / 255, 1)

    // Connection panel.
    readonly property color connectBackground: "#d0e5ff"
    readonly property color connectBorder: "#d9eaff"
    readonly property color connectTitleBar: "#006484"
    readonly property color connectText: "#004c65"
    readonly property color connectRow: "#cae4f6"
    readonly property color connectRowCurrent: "#6cc0db"
    readonly property color connectRowBorder: "white"
    readonly property color connectAddressText: "black"

    // Message dialog.
    readonly property color dialogBackground: "white"
    readonly property color dialogBorder: "gray"
    readonly property color dialogButtonFace: Qt.rgba(197 / 255, 221 / 255, 255 / 255, 1)
    readonly property color dialogButtonBorder: "#328eff"

    // The bevel of the text buttons, the drop-downs and the bevelled backgrounds.
    readonly property color bevelOuterBorder: Qt.rgba(119 / 255, 137 / 255, 156 / 255, 1)
    readonly property color bevelOuterFill: Qt.rgba(129 / 255, 147 / 255, 166 / 255, 1)
    readonly property color bevelInnerBorder: Qt.rgba(159 / 255, 177 / 255, 186 / 255, 1)
    readonly property color bevelInnerFill: Qt.rgba(227 / 255, 233 / 255, 247 / 255, 1)

    // Drop-down: the chosen entry's text and the border of the open list.
    readonly property color comboText: "#003f8c"
    readonly property color popupBorder: "lightgray"

    // Icon tints: the connect button while it searches, the display controls while pressed or
    // disabled.
    readonly property color searchingTint: "#00377B"
    readonly property color iconPressedTint: Qt.rgba(0.957, 0.918, 0.165, 0.4)
    readonly property color iconDisabledTint: "red"

    // Palette list: the border of the chosen palette and of the others.
    readonly property color paletteSelectedBorder: "#fcff00"
    readonly property color paletteBorder: "#8fceeb"

    // Sliders: the bar's gradient, the part covered up to the handle, and the handle.
    readonly property color sliderTrackStart: "#007cb6"
    readonly property color sliderTrackEnd: "#3ab1e8"
    readonly property color sliderCovered: "#fff100"
    readonly property color sliderHandle: "#edc900"
    readonly property color sliderHandlePressed: "red"
    readonly property color sliderHandleBorder: "#fff"

    // Frame slider of the replay bar: the bar and its played part.
    readonly property color frameTrack: "#bdbebf"
    readonly property color framePlayed: "#21be2b"

    // Scroll bar handle, idle and pressed.
    readonly property color scrollHandle: "#909090"
    readonly property color scrollHandlePressed: "#606060"

    // The arcs of the busy spinner.
    readonly property var spinnerColors: ["#FF3B30", "#FF9500", "#FFCC00", "#4CD964", "#5AC8FA", "#007AFF", "#5856D6"]

    // Font pixel sizes.
    readonly property int fontSizeTiny: 12
    readonly property int fontSizeRegisterButton: 15
    readonly property int fontSizeSmall: 16
    readonly property int fontSizeRegister: 17
    readonly property int fontSizeNormal: 18
    readonly property int fontSizeInput: 20
    readonly property int fontSizeAddress: 22
    readonly property int fontSizeTitle: 24
    readonly property int fontSizeHuge: 30

    // From this window width on, texts and slider handles keep their full size.
    readonly property int wideWindowWidth: 1024

    // Spacings and paddings.
    readonly property int spacingSmall: 5
    readonly property int spacingNormal: 10
    readonly property int paddingNormal: 10
    readonly property int toolButtonSpacing: 8
    // Inset of the settings panel's title bar and content.
    readonly property int panelInset: 6

    // Sizes shared by several items.
    readonly property int footerHeight: 30
    // The tips list opened upwards: five entries.
    readonly property int footerTipsOpenHeight: 150
    // The separators and the language button of the footer.
    readonly property int footerItemHeight: 24
    readonly property int titleBarHeight: 50
    readonly property int replayBarHeight: 50
    readonly property int rowHeight: 36
    readonly property int settingButtonWidth: 66
    readonly property real rowLabelRatio: 0.38
    readonly property int controlRadius: 5
    readonly property int toolTipTimeout: 1000
}
