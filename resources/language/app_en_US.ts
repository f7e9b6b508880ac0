<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AddressRange</name>
    <message>
        <source>请输入起始地址</source>
        <translation>Enter the first address</translation>
    </message>
    <message>
        <source>请输入子网掩码</source>
        <translation>Enter the mask</translation>
    </message>
    <message>
        <source>请输入网关</source>
        <translation>Enter the gateway</translation>
    </message>
    <message>
        <source>请输入DNS服务器</source>
        <translation>Enter the DNS server</translation>
    </message>
    <message>
        <source>不是IPv4地址</source>
        <translation>Not an IPv4 address</translation>
    </message>
    <message>
        <source>不是有效的子网掩码</source>
        <translation>Not a valid mask</translation>
    </message>
    <message>
        <source>是网段的网络地址</source>
        <translation>The subnet&apos;s own address</translation>
    </message>
    <message>
        <source>是网段的广播地址</source>
        <translation>The subnet&apos;s broadcast address</translation>
    </message>
    <message>
        <source>不是可用的主机地址</source>
        <translation>Not a usable host address</translation>
    </message>
    <message>
        <source>不在起始地址的网段内</source>
        <translation>Not in the first address&apos;s subnet</translation>
    </message>
    <message>
        <source>网关</source>
        <translation>the gateway</translation>
    </message>
    <message>
        <source>DNS服务器</source>
        <translation>the DNS server</translation>
    </message>
    <message>
        <source>本机</source>
        <translation>this computer</translation>
    </message>
    <message>
        <source>离线设备%1</source>
        <translation>offline device %1</translation>
    </message>
    <message>
        <source>未选中的设备%1</source>
        <translation>device %1, not selected</translation>
    </message>
</context>
<context>
    <name>AddressRangeForm</name>
    <message>
        <source>全升级准备</source>
        <translation>Prepare All Update</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>起始地址:</source>
        <translation>First address:</translation>
    </message>
    <message>
        <source>起始地址</source>
        <translation>First address</translation>
    </message>
    <message>
        <source>子网掩码:</source>
        <translation>Mask:</translation>
    </message>
    <message>
        <source>子网掩码</source>
        <translation>Mask</translation>
    </message>
    <message>
        <source>网关:</source>
        <translation>Gateway:</translation>
    </message>
    <message>
        <source>网关</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>DNS:</source>
        <translation>DNS:</translation>
    </message>
    <message>
        <source>DNS服务器</source>
        <translation>DNS server</translation>
    </message>
    <message>
        <source>跳过的地址:</source>
        <translation>Skipped addresses:</translation>
    </message>
    <message>
        <source>跳过的地址</source>
        <translation>Skipped addresses</translation>
    </message>
    <message>
        <source>设置地址</source>
        <translation>Set addresses</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message numerus="yes">
        <source>%n台设备将得不到地址</source>
        <translation>
            <numerusform>%n device will get no address</numerusform>
            <numerusform>%n devices will get no address</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Admin</name>
    <message>
        <source>管理员模式</source>
        <translation>Admin mode</translation>
    </message>
    <message>
        <source>… %1 older lines dropped</source>
        <translation>… %1 older lines dropped</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>调试信息</source>
        <translation>Debug messages</translation>
    </message>
</context>
<context>
    <name>CloseQuestion</name>
    <message>
        <source>现场报告</source>
        <translation>Site report</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>关闭前保存现场报告吗？</source>
        <translation>Save a site report before closing?</translation>
    </message>
    <message>
        <source>保存报告…</source>
        <translation>Save report…</translation>
    </message>
    <message>
        <source>不保存报告直接关闭</source>
        <translation>Close without report</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CommandFeedback</name>
    <message>
        <source>%1在%2应答</source>
        <translation>%1 answers at %2</translation>
    </message>
    <message>
        <source>%1自复位后未应答</source>
        <translation>%1 has not answered since the reset</translation>
    </message>
    <message>
        <source>%1自设置后未应答</source>
        <translation>%1 has not answered since the change</translation>
    </message>
    <message>
        <source>%1台设备中有%2台再次应答</source>
        <translation>%2 of %1 devices answer again</translation>
    </message>
    <message>
        <source>%1台设备在线</source>
        <translation>%1 devices online</translation>
    </message>
</context>
<context>
    <name>DevList</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP地址</source>
        <translation>IP address</translation>
    </message>
    <message>
        <source>信息源地址</source>
        <translation>Source address</translation>
    </message>
    <message>
        <source>MAC地址</source>
        <translation>MAC address</translation>
    </message>
    <message>
        <source>软件版本</source>
        <translation>Software version</translation>
    </message>
    <message>
        <source>在线</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>不在线</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>筛选：IP、MAC、版本或来源地址</source>
        <translation>Filter: IP, MAC, version or source address</translation>
    </message>
    <message>
        <source>导出列表…</source>
        <translation>Export list…</translation>
    </message>
    <message numerus="yes">
        <source>%n台设备，%1台在线</source>
        <translation>
            <numerusform>%n device, %1 online</numerusform>
            <numerusform>%n devices, %1 online</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1/%n台设备，%2/%3台在线</source>
        <translation>
            <numerusform>%1 of %n device, %2 of %3 online</numerusform>
            <numerusform>%1 of %n devices, %2 of %3 online</numerusform>
        </translation>
    </message>
    <message>
        <source>无法写入%1：%2</source>
        <translation>Could not write %1: %2</translation>
    </message>
    <message numerus="yes">
        <source>已导出%n台设备到%1</source>
        <translation>
            <numerusform>%n device exported to %1</numerusform>
            <numerusform>%n devices exported to %1</numerusform>
        </translation>
    </message>
    <message>
        <source>导出列表</source>
        <translation>Export list</translation>
    </message>
    <message>
        <source>CSV文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>筛选</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>设备列表</source>
        <translation>Device list</translation>
    </message>
    <message>
        <source>清除筛选</source>
        <translation>Clear filter</translation>
    </message>
    <message>
        <source>导入计划</source>
        <translation>Import plan</translation>
    </message>
    <message>
        <source>导入计划…</source>
        <translation>Import plan…</translation>
    </message>
    <message>
        <source>现场报告</source>
        <translation>Site report</translation>
    </message>
    <message>
        <source>现场报告…</source>
        <translation>Site report…</translation>
    </message>
    <message>
        <source>标签</source>
        <translation>Label</translation>
    </message>
    <message>
        <source>分配地址</source>
        <translation>Assigned address</translation>
    </message>
</context>
<context>
    <name>DevManager</name>
    <message>
        <source>配置网络</source>
        <translation>Network config</translation>
    </message>
    <message>
        <source>有线配置</source>
        <translation>Wired</translation>
    </message>
    <message>
        <source>网络配置</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>IP地址:</source>
        <translation>IP address:</translation>
    </message>
    <message>
        <source>*请输入IP</source>
        <translation>*Please enter IP</translation>
    </message>
    <message>
        <source>子网掩码:</source>
        <translation>Subnet mask:</translation>
    </message>
    <message>
        <source>*请输入子网掩码</source>
        <translation>*Please enter a subnet mask</translation>
    </message>
    <message>
        <source>网关:</source>
        <translation>Gateway:</translation>
    </message>
    <message>
        <source>*请输入网关</source>
        <translation>*Please enter the gateway</translation>
    </message>
    <message>
        <source>DNS服务器:</source>
        <translation>DNS server:</translation>
    </message>
    <message>
        <source>*请输入DNS服务器</source>
        <translation>*Please enter DNS server</translation>
    </message>
    <message>
        <source>自动获取IP:</source>
        <translation>DHCP:</translation>
    </message>
    <message>
        <source>开启</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>WIFI名称:</source>
        <translation>Wi-Fi name:</translation>
    </message>
    <message>
        <source>*请输入WIFI名称</source>
        <translation>*Please enter the Wi-Fi name</translation>
    </message>
    <message>
        <source>WIFI密码:</source>
        <translation>Wi-Fi password:</translation>
    </message>
    <message>
        <source>*请输入WIFI密码</source>
        <translation>*Please enter the Wi-Fi password</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Setting</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>[自动分配]</source>
        <translation>[Assigned automatically]</translation>
    </message>
    <message>
        <source>请输入IP</source>
        <translation>Please enter IP</translation>
    </message>
    <message>
        <source>请输入子网掩码</source>
        <translation>Please enter a subnet mask</translation>
    </message>
    <message>
        <source>请输入网关</source>
        <translation>Please enter the gateway</translation>
    </message>
    <message>
        <source>请输入网关DNS</source>
        <translation>Please enter the DNS server</translation>
    </message>
    <message>
        <source>*IP地址格式错误</source>
        <translation>*Invalid IP address</translation>
    </message>
    <message>
        <source>*子网掩码格式错误</source>
        <translation>*Invalid subnet mask</translation>
    </message>
    <message>
        <source>*网关格式错误</source>
        <translation>*Invalid gateway</translation>
    </message>
    <message>
        <source>*DNS服务器格式错误</source>
        <translation>*Invalid DNS server</translation>
    </message>
    <message>
        <source>*不是可用的主机地址</source>
        <translation>*Not a usable host address</translation>
    </message>
    <message>
        <source>*网关不在IP网段内，再按设置发送</source>
        <translation>*Gateway outside the subnet: press Setting again to send</translation>
    </message>
    <message>
        <source>IP地址</source>
        <translation>IP address</translation>
    </message>
    <message>
        <source>子网掩码</source>
        <translation>Subnet mask</translation>
    </message>
    <message>
        <source>网关</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>DNS服务器</source>
        <translation>DNS server</translation>
    </message>
    <message>
        <source>开启自动获取IP</source>
        <translation>DHCP on</translation>
    </message>
    <message>
        <source>关闭自动获取IP</source>
        <translation>DHCP off</translation>
    </message>
    <message>
        <source>WIFI名称</source>
        <translation>Wi-Fi name</translation>
    </message>
    <message>
        <source>WIFI密码</source>
        <translation>Wi-Fi password</translation>
    </message>
    <message>
        <source>显示密码</source>
        <translation>Show password</translation>
    </message>
</context>
<context>
    <name>DryRun</name>
    <message>
        <source>将更改</source>
        <translation>will change</translation>
    </message>
    <message>
        <source>已是如此</source>
        <translation>already so</translation>
    </message>
    <message>
        <source>不在此网络上</source>
        <translation>not on this network</translation>
    </message>
    <message>
        <source>离线</source>
        <translation>offline</translation>
    </message>
    <message>
        <source>与%1冲突（在线于该地址）</source>
        <translation>clashes with %1 (online at that address)</translation>
    </message>
    <message>
        <source>与本机冲突</source>
        <translation>clashes with this computer</translation>
    </message>
    <message>
        <source>计划中同一地址出现两次（第%1行和第%2行）</source>
        <translation>same address twice in the plan (lines %1 and %2)</translation>
    </message>
    <message>
        <source>计划中同一MAC出现两次（第%1行和第%2行）</source>
        <translation>same MAC twice in the plan (lines %1 and %2)</translation>
    </message>
    <message>
        <source>第%1行的MAC无效</source>
        <translation>invalid MAC on line %1</translation>
    </message>
    <message>
        <source>第%1行的DHCP值无效</source>
        <translation>invalid DHCP value on line %1</translation>
    </message>
    <message>
        <source>第%1行的地址无效</source>
        <translation>invalid address on line %1</translation>
    </message>
    <message>
        <source>第%1行的子网掩码无效</source>
        <translation>invalid mask on line %1</translation>
    </message>
    <message>
        <source>第%1行的网关无效</source>
        <translation>invalid gateway on line %1</translation>
    </message>
    <message>
        <source>第%1行的DNS无效</source>
        <translation>invalid DNS on line %1</translation>
    </message>
    <message>
        <source>第%1行既没有地址也没有DHCP</source>
        <translation>no address and no DHCP on line %1</translation>
    </message>
    <message>
        <source>在%1应答</source>
        <translation>answers at %1</translation>
    </message>
    <message>
        <source>未在%1应答</source>
        <translation>has not answered at %1</translation>
    </message>
    <message>
        <source>DHCP地址</source>
        <translation>a DHCP address</translation>
    </message>
    <message>
        <source>%1台将更改</source>
        <translation>%1 will change</translation>
    </message>
    <message>
        <source>%1台已是如此</source>
        <translation>%1 already so</translation>
    </message>
    <message>
        <source>%1台未找到</source>
        <translation>%1 not found</translation>
    </message>
    <message>
        <source>%1台离线</source>
        <translation>%1 offline</translation>
    </message>
    <message>
        <source>%1行冲突</source>
        <translation>%1 clashing</translation>
    </message>
    <message>
        <source>%1行在计划中重复</source>
        <translation>%1 twice in the plan</translation>
    </message>
    <message>
        <source>%1行无效</source>
        <translation>%1 invalid</translation>
    </message>
    <message>
        <source>%1台已应答</source>
        <translation>%1 answering</translation>
    </message>
    <message>
        <source>%1台未应答</source>
        <translation>%1 not answering</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>%1台设备中有%2台在计划地址应答</source>
        <translation>%2 of %1 devices answer at their planned address</translation>
    </message>
</context>
<context>
    <name>DryRunModel</name>
    <message>
        <source>标签</source>
        <translation>Label</translation>
    </message>
    <message>
        <source>MAC地址</source>
        <translation>MAC address</translation>
    </message>
    <message>
        <source>当前地址</source>
        <translation>Current address</translation>
    </message>
    <message>
        <source>当前子网掩码</source>
        <translation>Current mask</translation>
    </message>
    <message>
        <source>当前网关</source>
        <translation>Current gateway</translation>
    </message>
    <message>
        <source>计划地址</source>
        <translation>Planned address</translation>
    </message>
    <message>
        <source>计划子网掩码</source>
        <translation>Planned mask</translation>
    </message>
    <message>
        <source>计划网关</source>
        <translation>Planned gateway</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
</context>
<context>
    <name>HardDisk</name>
    <message>
        <source>磁盘管理</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>剩余容量:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>插入状态:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已插入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未插入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>格式化:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已格式化</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未格式化</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>磁盘容量:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>空间状态:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>空间充足</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>空间不足</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>挂接状态:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已挂接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未挂接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>准备状态:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已准备</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未准备</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>HardDiskItem</name>
    <message>
        <source>磁盘</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Hardware</name>
    <message>
        <source>硬件接口</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>USB1:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>USB2:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>音频1:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>音频2:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>音频3:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>音频4:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>发布时间:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未接入设备或损坏</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>接入U盘</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>接入鼠标</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未接入音频或损坏</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>音频接口正常</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>LocalAddressPicker</name>
    <message>
        <source>没有有线网络</source>
        <translation>No wired network</translation>
    </message>
    <message>
        <source>本机IP地址</source>
        <translation>Local IP address</translation>
    </message>
</context>
<context>
    <name>Menu</name>
    <message>
        <source>升级</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>网络配置</source>
        <translation>Network Config</translation>
    </message>
    <message>
        <source>复位</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>二维码</source>
        <translation>QR code</translation>
    </message>
    <message>
        <source>主码流配置</source>
        <translation>Main Stream</translation>
    </message>
    <message>
        <source>子码流配置</source>
        <translation>Sub Stream</translation>
    </message>
    <message>
        <source>磁盘信息</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>硬件接口</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>复制IP地址</source>
        <translation>Copy IP address</translation>
    </message>
    <message>
        <source>复制MAC地址</source>
        <translation>Copy MAC address</translation>
    </message>
    <message>
        <source>打开网页</source>
        <translation>Open web page</translation>
    </message>
</context>
<context>
    <name>MoreReset</name>
    <message>
        <source>局域网设备复位</source>
        <translation>LAN device reset</translation>
    </message>
    <message>
        <source>您将要对局域网内所有设备发布复位命令，请确认当前局域网内均为您需要复位的设备</source>
        <translation>This resets every device on the LAN. Go on only if every device on this LAN is one you mean to reset.</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>NetTabBtn</name>
    <message>
        <source>[已启用]</source>
        <translation>[On]</translation>
    </message>
    <message>
        <source>[未启用]</source>
        <translation>[Off]</translation>
    </message>
</context>
<context>
    <name>PlanDryRun</name>
    <message>
        <source>计划预演</source>
        <translation>Plan dry run</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>计划行</source>
        <translation>Plan lines</translation>
    </message>
    <message>
        <source>应用更改</source>
        <translation>Apply changes</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message numerus="yes">
        <source>应用%n项更改</source>
        <translation>
            <numerusform>Apply %n change</numerusform>
            <numerusform>Apply %n changes</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Searcher</name>
    <message>
        <source>调试信息</source>
        <translation>Debug</translation>
    </message>
    <message>
        <source>升级包路径:</source>
        <translation>Update package path:</translation>
    </message>
    <message>
        <source>浏览</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>搜索一次</source>
        <translation>Search once</translation>
    </message>
    <message>
        <source>自动搜索</source>
        <translation>Auto search</translation>
    </message>
    <message>
        <source>清空列表</source>
        <translation>Clean List</translation>
    </message>
    <message>
        <source>修复搜索</source>
        <translation>Repair Search</translation>
    </message>
    <message>
        <source>全升级准备</source>
        <translation>Prepare All Update</translation>
    </message>
    <message>
        <source>全部升级</source>
        <translation>All Update</translation>
    </message>
    <message>
        <source>局域网设备复位</source>
        <translation>LAN device reset</translation>
    </message>
    <message>
        <source>主程序版本:</source>
        <translation>Main program version:</translation>
    </message>
    <message>
        <source>本机IP地址:</source>
        <translation>Local IP address:</translation>
    </message>
    <message>
        <source>Vessik V1</source>
        <translation>Vessik V1</translation>
    </message>
    <message>
        <source>停止搜索</source>
        <translation>Stop search</translation>
    </message>
    <message>
        <source>已向%1台设备发送复位</source>
        <translation>Reset sent to %1 devices</translation>
    </message>
    <message>
        <source>已向%1发送复位</source>
        <translation>Reset sent to %1</translation>
    </message>
    <message>
        <source>已向%1发送网络设置</source>
        <translation>Network settings sent to %1</translation>
    </message>
    <message>
        <source>已向%1台设备发送新地址</source>
        <translation>New addresses sent to %1 devices</translation>
    </message>
    <message>
        <source>已向96个地址发送复位</source>
        <translation>Reset sent to 96 addresses</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>升级包路径</source>
        <translation>Update package path</translation>
    </message>
    <message>
        <source>现场报告</source>
        <translation>Site report</translation>
    </message>
    <message>
        <source>PDF文件 (*.pdf)</source>
        <translation>PDF files (*.pdf)</translation>
    </message>
    <message>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <source>导入计划</source>
        <translation>Import plan</translation>
    </message>
    <message>
        <source>CSV文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>无法读取%1：%2</source>
        <translation>Could not read %1: %2</translation>
    </message>
    <message>
        <source>%1不是计划：%2</source>
        <translation>%1 is not a plan: %2</translation>
    </message>
</context>
<context>
    <name>SitePlan</name>
    <message>
        <source>超过%1个字符</source>
        <translation>longer than %1 characters</translation>
    </message>
    <message>
        <source>右引号后还有文字</source>
        <translation>text after a closing quote</translation>
    </message>
    <message>
        <source>未加引号的字段中有引号</source>
        <translation>a quote inside a field that is not quoted</translation>
    </message>
    <message>
        <source>引号没有闭合</source>
        <translation>a quote is not closed</translation>
    </message>
    <message>
        <source>第%1行：%2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <source>文件超过%1 MiB</source>
        <translation>The file is larger than %1 MiB</translation>
    </message>
    <message>
        <source>文件是空的</source>
        <translation>The file is empty</translation>
    </message>
    <message>
        <source>含有空字节，不是文本文件</source>
        <translation>it holds a NUL byte, so it is no text file</translation>
    </message>
    <message>
        <source>不是UTF-8文本</source>
        <translation>not UTF-8 text</translation>
    </message>
    <message>
        <source>计划超过%1行</source>
        <translation>more than %1 plan lines</translation>
    </message>
    <message>
        <source>列%1出现了两次</source>
        <translation>the column %1 is named twice</translation>
    </message>
    <message>
        <source>没有mac列</source>
        <translation>no mac column</translation>
    </message>
    <message>
        <source>没有ip列，也没有dhcp列</source>
        <translation>no ip column and no dhcp column</translation>
    </message>
    <message>
        <source>标题行下面没有计划行</source>
        <translation>no plan lines below the header</translation>
    </message>
</context>
<context>
    <name>SiteReport</name>
    <message>
        <source>无法写入%1：%2</source>
        <translation>Could not write %1: %2</translation>
    </message>
    <message>
        <source>现场报告</source>
        <translation>Site report</translation>
    </message>
    <message>
        <source>现场报告 %1</source>
        <translation>Site report %1</translation>
    </message>
    <message>
        <source>第%1页，共%2页</source>
        <translation>Page %1 of %2</translation>
    </message>
    <message>
        <source>无法生成PDF</source>
        <translation>the PDF could not be drawn</translation>
    </message>
    <message>
        <source>现场报告已保存到%1</source>
        <translation>Site report saved to %1</translation>
    </message>
    <message>
        <source>访问时间：%1 至 %2</source>
        <translation>Visit: %1 to %2</translation>
    </message>
    <message>
        <source>本机：%1（%2）</source>
        <translation>This computer: %1 (%2)</translation>
    </message>
    <message>
        <source>发现设备：%1台，其中%2台在线</source>
        <translation>Devices found: %1, of which %2 online</translation>
    </message>
    <message>
        <source>操作：%1项，失败：%2项</source>
        <translation>Actions: %1, failed: %2</translation>
    </message>
    <message>
        <source>记录最多保留%1项操作：更早的%2项未列出</source>
        <translation>The record keeps at most %1 actions: %2 earlier ones are not listed</translation>
    </message>
    <message>
        <source>“甲 → 乙”：本次首次看到的值 → 现在的值</source>
        <translation>“a → b”: a as first seen on this visit, b as it is now</translation>
    </message>
    <message>
        <source>设备（%1台）</source>
        <translation>Devices (%1)</translation>
    </message>
    <message>
        <source>本次未应答</source>
        <translation>not seen</translation>
    </message>
    <message>
        <source>在线</source>
        <translation>online</translation>
    </message>
    <message>
        <source>离线</source>
        <translation>offline</translation>
    </message>
    <message>
        <source>标签</source>
        <translation>Label</translation>
    </message>
    <message>
        <source>MAC地址</source>
        <translation>MAC address</translation>
    </message>
    <message>
        <source>IP地址</source>
        <translation>IP address</translation>
    </message>
    <message>
        <source>子网掩码</source>
        <translation>Subnet mask</translation>
    </message>
    <message>
        <source>网关</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>版本</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>本次操作</source>
        <translation>Done on this visit</translation>
    </message>
    <message>
        <source>局域网内所有设备</source>
        <translation>All devices on the LAN</translation>
    </message>
    <message>
        <source>操作记录（按时间顺序）</source>
        <translation>Actions in time order</translation>
    </message>
    <message>
        <source>本次未对设备进行任何操作。</source>
        <translation>Nothing was done to the devices on this visit.</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>失败及原因（%1项）</source>
        <translation>Failures and their reasons (%1)</translation>
    </message>
    <message>
        <source>本次没有失败。</source>
        <translation>Nothing failed on this visit.</translation>
    </message>
    <message>
        <source>原因</source>
        <translation>Reason</translation>
    </message>
</context>
<context>
    <name>Update</name>
    <message>
        <source>升级</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>设备1:</source>
        <translation>Device 1:</translation>
    </message>
    <message>
        <source>请求成功等待重启</source>
        <translation>Restarting</translation>
    </message>
    <message>
        <source>重启完成发送更新</source>
        <translation>Taking the package</translation>
    </message>
    <message>
        <source>发送完成等待安装</source>
        <translation>Installing</translation>
    </message>
    <message>
        <source>更新完成</source>
        <translation>Updated</translation>
    </message>
    <message>
        <source>设备2:</source>
        <translation>Device 2:</translation>
    </message>
    <message>
        <source>设备3:</source>
        <translation>Device 3:</translation>
    </message>
    <message>
        <source>设备4:</source>
        <translation>Device 4:</translation>
    </message>
    <message>
        <source>设备5:</source>
        <translation>Device 5:</translation>
    </message>
    <message>
        <source>设备6:</source>
        <translation>Device 6:</translation>
    </message>
    <message>
        <source>设备7:</source>
        <translation>Device 7:</translation>
    </message>
    <message>
        <source>设备8:</source>
        <translation>Device 8:</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>请选择升级包</source>
        <translation>Choose an update package first</translation>
    </message>
    <message>
        <source>升级包不存在</source>
        <translation>The update package does not exist</translation>
    </message>
    <message>
        <source>升级包无法读取</source>
        <translation>The update package cannot be read</translation>
    </message>
    <message>
        <source>升级包不能超过4GB</source>
        <translation>The update package must be smaller than 4 GiB</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Complete</translation>
    </message>
    <message>
        <source>设备%1:</source>
        <translation>Device %1:</translation>
    </message>
    <message>
        <source>没有有线网络，请将电脑连接到设备所在的网络</source>
        <translation>No wired network: connect this computer to the devices&apos; network</translation>
    </message>
    <message>
        <source>正在发送第%1包,共%2包</source>
        <translation>Sending packet %1 of %2</translation>
    </message>
    <message>
        <source>正在发送第0包,共0包</source>
        <translation>Sending packet 0 of 0</translation>
    </message>
    <message>
        <source>同时升级:</source>
        <translation>At a time:</translation>
    </message>
    <message>
        <source>重试失败</source>
        <translation>Retry failed</translation>
    </message>
    <message>
        <source>%1秒内未重新连接</source>
        <translation>did not connect back within %1 s</translation>
    </message>
    <message>
        <source>停止接收数据</source>
        <translation>stopped taking data</translation>
    </message>
    <message>
        <source>在第%1包(共%2包)时断开</source>
        <translation>disconnected at packet %1 of %2</translation>
    </message>
    <message>
        <source>%1秒内未报告安装完成</source>
        <translation>did not report the install within %1 s</translation>
    </message>
    <message>
        <source>%1台已更新,%2台失败</source>
        <translation>%1 updated, %2 failed</translation>
    </message>
    <message>
        <source>升级进度</source>
        <translation>Update progress</translation>
    </message>
</context>
<context>
    <name>VideoInfo</name>
    <message>
        <source>码流管理</source>
        <translation>Stream management</translation>
    </message>
    <message>
        <source>URL:</source>
        <translation>URL:</translation>
    </message>
    <message>
        <source>帧率:</source>
        <translation>Frame rate:</translation>
    </message>
    <message>
        <source>码率:</source>
        <translation>Bit rate:</translation>
    </message>
    <message>
        <source>帧间隔:</source>
        <translation>Frame interval:</translation>
    </message>
    <message>
        <source>视频大小:</source>
        <translation>Video Size:</translation>
    </message>
    <message>
        <source>解码帧率:</source>
        <translation>Decode Fps:</translation>
    </message>
    <message>
        <source>编码类型:</source>
        <translation>Encoding type:</translation>
    </message>
    <message>
        <source>配置变更成功</source>
        <translation>Setting succeeded</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Setting</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>切换成功，设备重启中</source>
        <translation>Setting succeeded, restarting</translation>
    </message>
    <message>
        <source>切换失败</source>
        <translation>Setting failed</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>视频预览</source>
        <translation>Video preview</translation>
    </message>
    <message>
        <source>URL</source>
        <translation>URL</translation>
    </message>
    <message>
        <source>帧率</source>
        <translation>Frame rate</translation>
    </message>
    <message>
        <source>码率</source>
        <translation>Bit rate</translation>
    </message>
    <message>
        <source>帧间隔</source>
        <translation>Frame interval</translation>
    </message>
    <message>
        <source>H.264</source>
        <translation>H.264</translation>
    </message>
    <message>
        <source>H.265</source>
        <translation>H.265</translation>
    </message>
    <message>
        <source>无码流：设备无应答</source>
        <translation>No stream: the device does not answer</translation>
    </message>
    <message>
        <source>重新连接中…</source>
        <translation>Reconnecting…</translation>
    </message>
    <message>
        <source>无码流：连接被拒绝</source>
        <translation>No stream: connection refused</translation>
    </message>
    <message>
        <source>不支持的图像格式：%1</source>
        <translation>Unsupported picture format: %1</translation>
    </message>
    <message>
        <source>图像过大：%1（最大 %2x%3）</source>
        <translation>Picture too large: %1 (at most %2x%3)</translation>
    </message>
    <message>
        <source>码流中断：设备不再发送图像</source>
        <translation>Stream stopped: the device sends no more pictures</translation>
    </message>
    <message>
        <source>无码流：%1</source>
        <translation>No stream: %1</translation>
    </message>
</context>
<context>
    <name>VisitRecord</name>
    <message>
        <source>网络配置</source>
        <translation>Network Config</translation>
    </message>
    <message>
        <source>全升级准备</source>
        <translation>Prepare All Update</translation>
    </message>
    <message>
        <source>现场计划%1</source>
        <translation>site plan %1</translation>
    </message>
    <message>
        <source>开</source>
        <translation>on</translation>
    </message>
    <message>
        <source>关</source>
        <translation>off</translation>
    </message>
    <message>
        <source>网络设置已发送（%1）：地址%2，掩码%3，网关%4，DHCP %5</source>
        <translation>Network settings sent (%1): address %2, mask %3, gateway %4, DHCP %5</translation>
    </message>
    <message>
        <source>网络设置</source>
        <translation>network settings</translation>
    </message>
    <message>
        <source>已发送复位</source>
        <translation>Reset sent</translation>
    </message>
    <message>
        <source>复位</source>
        <translation>reset</translation>
    </message>
    <message>
        <source>已向局域网内所有设备发送复位</source>
        <translation>Reset sent to every device on the LAN</translation>
    </message>
    <message>
        <source>修复搜索：已向不应答搜索的设备发送复位</source>
        <translation>Repair Search: reset sent to the devices that do not answer the search</translation>
    </message>
    <message>
        <source>编码切换：%1 → %2</source>
        <translation>Encoding switched: %1 → %2</translation>
    </message>
    <message>
        <source>编码改为%1</source>
        <translation>encoding %1</translation>
    </message>
    <message>
        <source>固件升级%1（%2字节，MD5 %3）：%4</source>
        <translation>Firmware update %1 (%2 bytes, MD5 %3): %4</translation>
    </message>
    <message>
        <source>失败：%1</source>
        <translation>failed: %1</translation>
    </message>
    <message>
        <source>已更新</source>
        <translation>updated</translation>
    </message>
    <message>
        <source>升级失败</source>
        <translation>update failed</translation>
    </message>
    <message>
        <source>在%1应答</source>
        <translation>answers at %1</translation>
    </message>
    <message>
        <source>自复位后未应答</source>
        <translation>has not answered since the reset</translation>
    </message>
    <message>
        <source>自设置后未应答</source>
        <translation>has not answered since the change</translation>
    </message>
    <message>
        <source>自升级后未应答</source>
        <translation>has not answered since the update</translation>
    </message>
</context>
</TS>
