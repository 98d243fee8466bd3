; The setup program's own texts in the languages of the text tables (UTF-8). $DllFolder, $INSTDIR and $R0 (a
; program's path) are filled in when a text is shown.

LangString OstrelFinishText ${LANG_ENGLISH} "${PRODUCT} needs the driver library TarselUSB.dll (${DLL_BITS}-bit), which comes with the Ostrel USB driver and is not installed by this setup.$\r$\n$\r$\nInstall the Ostrel USB driver, or copy TarselUSB.dll into $DllFolder or into the tool's folder, $INSTDIR. The user guide explains the details."
LangString OstrelToolRunning ${LANG_ENGLISH} "The program $R0 is running. Close it, then press Retry."
LangString OstrelNeeds64 ${LANG_ENGLISH} "This setup installs the 64-bit ${PRODUCT} and needs 64-bit Windows. Use the win32 setup program instead."
LangString OstrelTableKept ${LANG_ENGLISH} "lang.ini was changed after installation and is kept: $INSTDIR\lang.ini"

LangString OstrelFinishText ${LANG_KOREAN} "${PRODUCT}를 쓰려면 드라이버 라이브러리 TarselUSB.dll(${DLL_BITS}비트)이 필요합니다. 이 파일은 Ostrel USB 드라이버와 함께 제공되며 이 설치 프로그램으로는 설치되지 않습니다.$\r$\n$\r$\nOstrel USB 드라이버를 설치하거나, TarselUSB.dll을 $DllFolder 또는 도구 폴더($INSTDIR)에 복사하십시오. 자세한 내용은 사용 설명서를 참고하십시오."
LangString OstrelToolRunning ${LANG_KOREAN} "$R0 프로그램이 실행 중입니다. 프로그램을 닫은 다음 [다시 시도]를 누르십시오."
LangString OstrelNeeds64 ${LANG_KOREAN} "이 설치 프로그램은 64비트 ${PRODUCT}를 설치하므로 64비트 Windows가 필요합니다. win32 설치 프로그램을 사용하십시오."
LangString OstrelTableKept ${LANG_KOREAN} "lang.ini가 설치 후에 변경되어 삭제하지 않았습니다: $INSTDIR\lang.ini"

LangString OstrelFinishText ${LANG_JAPANESE} "${PRODUCT} を使うには、ドライバー ライブラリ TarselUSB.dll (${DLL_BITS} ビット) が必要です。このファイルは Ostrel USB ドライバーに含まれており、このセットアップではインストールされません。$\r$\n$\r$\nOstrel USB ドライバーをインストールするか、TarselUSB.dll を $DllFolder またはツールのフォルダー ($INSTDIR) にコピーしてください。詳しくはユーザー ガイドをご覧ください。"
LangString OstrelToolRunning ${LANG_JAPANESE} "$R0 が実行中です。終了してから [再試行] を押してください。"
LangString OstrelNeeds64 ${LANG_JAPANESE} "このセットアップは 64 ビット版の ${PRODUCT} をインストールするため、64 ビット版 Windows が必要です。win32 版のセットアップを使ってください。"
LangString OstrelTableKept ${LANG_JAPANESE} "lang.ini はインストール後に変更されているため、削除しませんでした: $INSTDIR\lang.ini"

LangString OstrelFinishText ${LANG_SIMPCHINESE} "${PRODUCT} 需要驱动库 TarselUSB.dll（${DLL_BITS} 位）。该文件随 Ostrel USB 驱动程序提供，本安装程序不会安装它。$\r$\n$\r$\n请安装 Ostrel USB 驱动程序，或将 TarselUSB.dll 复制到 $DllFolder 或工具所在的文件夹 $INSTDIR。详情请参阅用户指南。"
LangString OstrelToolRunning ${LANG_SIMPCHINESE} "$R0 正在运行。请关闭它，然后点击“重试”。"
LangString OstrelNeeds64 ${LANG_SIMPCHINESE} "此安装程序安装 64 位 ${PRODUCT}，需要 64 位 Windows。请改用 win32 安装程序。"
LangString OstrelTableKept ${LANG_SIMPCHINESE} "lang.ini 在安装后已被修改，因此保留：$INSTDIR\lang.ini"

LangString OstrelFinishText ${LANG_RUSSIAN} "Для работы ${PRODUCT} нужна библиотека драйвера TarselUSB.dll (${DLL_BITS}-битная). Она входит в USB-драйвер Ostrel, эта программа установки её не устанавливает.$\r$\n$\r$\nУстановите USB-драйвер Ostrel или скопируйте TarselUSB.dll в $DllFolder или в папку программы $INSTDIR. Подробности — в руководстве пользователя."
LangString OstrelToolRunning ${LANG_RUSSIAN} "Программа $R0 запущена. Закройте её и нажмите «Повтор»."
LangString OstrelNeeds64 ${LANG_RUSSIAN} "Эта программа установки устанавливает 64-битную версию ${PRODUCT} и требует 64-битной Windows. Используйте программу установки win32."
LangString OstrelTableKept ${LANG_RUSSIAN} "Файл lang.ini был изменён после установки и оставлен: $INSTDIR\lang.ini"

LangString OstrelFinishText ${LANG_GERMAN} "${PRODUCT} benötigt die Treiberbibliothek TarselUSB.dll (${DLL_BITS} Bit). Sie gehört zum Ostrel-USB-Treiber und wird von diesem Setup nicht installiert.$\r$\n$\r$\nInstallieren Sie den Ostrel-USB-Treiber oder kopieren Sie TarselUSB.dll nach $DllFolder oder in den Programmordner $INSTDIR. Einzelheiten stehen im Benutzerhandbuch."
LangString OstrelToolRunning ${LANG_GERMAN} "Das Programm $R0 läuft. Schließen Sie es und klicken Sie dann auf „Wiederholen“."
LangString OstrelNeeds64 ${LANG_GERMAN} "Dieses Setup installiert die 64-Bit-Version von ${PRODUCT} und benötigt ein 64-Bit-Windows. Verwenden Sie das win32-Setup."
LangString OstrelTableKept ${LANG_GERMAN} "lang.ini wurde nach der Installation geändert und bleibt erhalten: $INSTDIR\lang.ini"

LangString OstrelFinishText ${LANG_FRENCH} "${PRODUCT} a besoin de la bibliothèque de pilote TarselUSB.dll (${DLL_BITS} bits). Elle est fournie avec le pilote USB Ostrel et n'est pas installée par ce programme d'installation.$\r$\n$\r$\nInstallez le pilote USB Ostrel, ou copiez TarselUSB.dll dans $DllFolder ou dans le dossier de l'outil, $INSTDIR. Le guide de l'utilisateur donne les détails."
LangString OstrelToolRunning ${LANG_FRENCH} "Le programme $R0 est en cours d'exécution. Fermez-le, puis cliquez sur « Réessayer »."
LangString OstrelNeeds64 ${LANG_FRENCH} "Ce programme d'installation installe la version 64 bits de ${PRODUCT} et nécessite Windows 64 bits. Utilisez le programme d'installation win32."
LangString OstrelTableKept ${LANG_FRENCH} "lang.ini a été modifié après l'installation et est conservé : $INSTDIR\lang.ini"

LangString OstrelFinishText ${LANG_SPANISH} "${PRODUCT} necesita la biblioteca del controlador TarselUSB.dll (${DLL_BITS} bits). Se incluye con el controlador USB de Ostrel y este instalador no la instala.$\r$\n$\r$\nInstale el controlador USB de Ostrel o copie TarselUSB.dll en $DllFolder o en la carpeta de la herramienta, $INSTDIR. La guía del usuario da los detalles."
LangString OstrelToolRunning ${LANG_SPANISH} "El programa $R0 se está ejecutando. Ciérrelo y pulse «Reintentar»."
LangString OstrelNeeds64 ${LANG_SPANISH} "Este instalador instala la versión de 64 bits de ${PRODUCT} y necesita Windows de 64 bits. Use el instalador win32."
LangString OstrelTableKept ${LANG_SPANISH} "lang.ini se modificó después de la instalación y se conserva: $INSTDIR\lang.ini"

; Who the installation is for.

LangString OstrelScopeTitle ${LANG_ENGLISH} "Choose who may use ${PRODUCT}"
LangString OstrelScopeSubtitle ${LANG_ENGLISH} "Install it for everyone who uses this computer, or only for you."
LangString OstrelForAll ${LANG_ENGLISH} "For all users of this computer (needs administrator rights)"
LangString OstrelForMe ${LANG_ENGLISH} "Only for me, without administrator rights"
LangString OstrelNeedsAdmin ${LANG_ENGLISH} "Installing or removing ${PRODUCT} for all users needs administrator rights. Install it only for you instead, or ask an administrator."

LangString OstrelScopeTitle ${LANG_KOREAN} "${PRODUCT}를 사용할 사람 선택"
LangString OstrelScopeSubtitle ${LANG_KOREAN} "이 컴퓨터를 사용하는 모든 사람을 위해 설치하거나 나만을 위해 설치합니다."
LangString OstrelForAll ${LANG_KOREAN} "이 컴퓨터의 모든 사용자(관리자 권한 필요)"
LangString OstrelForMe ${LANG_KOREAN} "나만 사용(관리자 권한 필요 없음)"
LangString OstrelNeedsAdmin ${LANG_KOREAN} "모든 사용자를 위해 ${PRODUCT}를 설치하거나 제거하려면 관리자 권한이 필요합니다. 대신 나만을 위해 설치하거나 관리자에게 요청하십시오."

LangString OstrelScopeTitle ${LANG_JAPANESE} "${PRODUCT} を使うユーザーの選択"
LangString OstrelScopeSubtitle ${LANG_JAPANESE} "このコンピューターを使うすべてのユーザー用か、自分専用にインストールします。"
LangString OstrelForAll ${LANG_JAPANESE} "このコンピューターのすべてのユーザー (管理者権限が必要)"
LangString OstrelForMe ${LANG_JAPANESE} "自分だけ (管理者権限は不要)"
LangString OstrelNeedsAdmin ${LANG_JAPANESE} "すべてのユーザー用に ${PRODUCT} をインストールまたは削除するには管理者権限が必要です。自分専用にインストールするか、管理者に依頼してください。"

LangString OstrelScopeTitle ${LANG_SIMPCHINESE} "选择 ${PRODUCT} 的使用者"
LangString OstrelScopeSubtitle ${LANG_SIMPCHINESE} "为使用这台计算机的所有人安装，或仅为您自己安装。"
LangString OstrelForAll ${LANG_SIMPCHINESE} "这台计算机的所有用户（需要管理员权限）"
LangString OstrelForMe ${LANG_SIMPCHINESE} "仅我自己（无需管理员权限）"
LangString OstrelNeedsAdmin ${LANG_SIMPCHINESE} "为所有用户安装或删除 ${PRODUCT} 需要管理员权限。请改为仅为自己安装，或联系管理员。"

LangString OstrelScopeTitle ${LANG_RUSSIAN} "Для кого установить ${PRODUCT}"
LangString OstrelScopeSubtitle ${LANG_RUSSIAN} "Установите программу для всех пользователей этого компьютера или только для себя."
LangString OstrelForAll ${LANG_RUSSIAN} "Для всех пользователей компьютера (нужны права администратора)"
LangString OstrelForMe ${LANG_RUSSIAN} "Только для меня, без прав администратора"
LangString OstrelNeedsAdmin ${LANG_RUSSIAN} "Для установки или удаления ${PRODUCT} для всех пользователей нужны права администратора. Установите программу только для себя или обратитесь к администратору."

LangString OstrelScopeTitle ${LANG_GERMAN} "Für wen ${PRODUCT} installiert wird"
LangString OstrelScopeSubtitle ${LANG_GERMAN} "Installieren Sie es für alle Benutzer dieses Computers oder nur für sich."
LangString OstrelForAll ${LANG_GERMAN} "Für alle Benutzer dieses Computers (Administratorrechte nötig)"
LangString OstrelForMe ${LANG_GERMAN} "Nur für mich, ohne Administratorrechte"
LangString OstrelNeedsAdmin ${LANG_GERMAN} "Um ${PRODUCT} für alle Benutzer zu installieren oder zu entfernen, sind Administratorrechte nötig. Installieren Sie es stattdessen nur für sich, oder wenden Sie sich an einen Administrator."

LangString OstrelScopeTitle ${LANG_FRENCH} "Pour qui installer ${PRODUCT}"
LangString OstrelScopeSubtitle ${LANG_FRENCH} "Installez-le pour tous les utilisateurs de cet ordinateur, ou seulement pour vous."
LangString OstrelForAll ${LANG_FRENCH} "Pour tous les utilisateurs de cet ordinateur (droits d'administrateur requis)"
LangString OstrelForMe ${LANG_FRENCH} "Seulement pour moi, sans droits d'administrateur"
LangString OstrelNeedsAdmin ${LANG_FRENCH} "Installer ou supprimer ${PRODUCT} pour tous les utilisateurs demande des droits d'administrateur. Installez-le seulement pour vous, ou demandez à un administrateur."

LangString OstrelScopeTitle ${LANG_SPANISH} "Para quién instalar ${PRODUCT}"
LangString OstrelScopeSubtitle ${LANG_SPANISH} "Instálelo para todos los usuarios de este equipo o solo para usted."
LangString OstrelForAll ${LANG_SPANISH} "Para todos los usuarios de este equipo (requiere derechos de administrador)"
LangString OstrelForMe ${LANG_SPANISH} "Solo para mí, sin derechos de administrador"
LangString OstrelNeedsAdmin ${LANG_SPANISH} "Instalar o quitar ${PRODUCT} para todos los usuarios requiere derechos de administrador. Instálelo solo para usted o pida ayuda a un administrador."
