<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CmdDialog</name>
    <message>
        <source>版本信息</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>查询版本号超时，请重试</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接失败：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接成功：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>断开连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接已断开</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>查询版本失败，请重试</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未收到回复消息!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提示!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>程序下载成功，请重新上电!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>声呐无响应</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>与声呐的连接已恢复</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConnectToSonar</name>
    <message>
        <source> 连接声呐</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>搜索中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>停止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>查找</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ip 地址格式错误,例如：192.168.1.100</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CppInformationCenter</name>
    <message>
        <source>已连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>点击连接声纳</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FileRead</name>
    <message>
        <source>回放数据失败：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>内存不足</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件在回放中变短了</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FileSave</name>
    <message>
        <source>保存数据：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存数据完成</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存数据失败：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>录制跟不上数据流，已丢失 %1 个数据包</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>录制</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>此处有 %n 个文件与本次录制的后续分段同名：%1
只有录制增长到某个分段时，才会替换与之同名的文件（每 500 MiB 开始一个新分段），录制未到达的文件保持不变。是否继续？</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
</context>
<context>
    <name>FunctionBtn</name>
    <message>
        <source>选择文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DB文件 (*.DB)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选择文件夹</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>断开</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>停止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>启动</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回放</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>网格</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无网格</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>色板</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GammaSlider</name>
    <message>
        <source>对比度</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GeneralSlider</name>
    <message>
        <source>亮度</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>无法在 %1 上接收声呐数据：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有可用的端口</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>该地址不是本机的地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>地址无效</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>与声呐的连接已丢失</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindowFooter</name>
    <message>
        <source>未连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回放中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未设置该文件状态</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MaxDistSlider</name>
    <message>
        <source>距离</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MySettingBtnStyle</name>
    <message>
        <source>设置</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SearchDev</name>
    <message>
        <source>提示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>断开并重新建立连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无网络</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接超时：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接失败：</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Setting</name>
    <message>
        <source> 设置</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SonarConfig</name>
    <message>
        <source>截取强度：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>点的大小：</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SonarStatusMsg</name>
    <message>
        <source>帧号：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>亮度：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>对比度：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>量程：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>步进：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>theta 角度：</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WorkModelSlider</name>
    <message>
        <source>模式</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WorkingParameters</name>
    <message>
        <source>信号模式:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>前进速度：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>作用距离(m)：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TVG高级:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>中心频率(kHz)：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>发射功率：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自动</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工作周期(s/帧):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>声速(m/s)：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>扫描步进(°):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>声呐静态IP：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>此操作会修改声纳设备的ip！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ip地址格式错误，例如：192.168.1.100</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>读取版本号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>读取</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>程序升级</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>升级</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
